#include "format/strong_decoder.h"

namespace kelvara {

std::string_view StrongPageHead() {
  return "<script>\n"
         "  function VetrakStrong(salt, iterations) {}\n"
         "  function VetrakSlot(nonce, wrapped) {}\n"
         "  function VetrakPayload(nonce, data) {}\n"
         "  function VetrakSealed(seal) {}\n"
         "</script>";
}

std::string_view StrongPageBody() {
  return "<p>This page is protected by Kelvara.</p>";
}

}  // namespace kelvara
