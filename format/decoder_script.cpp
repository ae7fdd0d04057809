#include "format/decoder_script.h"

namespace kelvara {

std::string_view DecoderScript() {
  // Kept as one raw text so that it reads as the script it is.
  static constexpr std::string_view kScript = R"js(<html>
<head>
<title>Kelvara</title>
<script language="javascript">

  var VetrakPwd;

  function SetVetrakPwd()
  {
    VetrakPwd = prompt("Page protected by Kelvara encryption tool.", "Please enter your password");
    if (VetrakPwd == "") { VetrakPwd = String.fromCharCode(0); }
  }

  function VetrakCheck(salt, check)
  {
  }

  function VetrakSetTitle(txt)
  {
    document.title = VetrakDecode(txt);
  }

  function VetrakAdd2Body(txt)
  {
    document.writeln( VetrakDecode(txt) );
  }

  function VetrakDecode(txt)
  {
    var res="";
    var ind=0;
    var tmp=0;
    for (var i=0; i < txt.length; i+=2)
    {
      tmp = (256 + parseInt(txt.substr(i,2), 16) - VetrakPwd.charCodeAt(ind)) % 256;
      res += String.fromCharCode(tmp);
      ind = (ind + 1) % VetrakPwd.length;
    }
    return res;
  }

  function VetrakMain()
  {)js";
  return kScript;
}

}  // namespace kelvara
