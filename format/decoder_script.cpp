#include "format/decoder_script.h"

#include "format/decoder_parts.h"

namespace kelvara {

std::string_view DecoderScript() {
  // Kept as raw text so that it reads as the script it is, around the part
  // that writes the author's page, which the strong form's decoder shares.
  // It stays in the JavaScript of old browsers (no let, no arrows, no typed
  // arrays unless they are there) and needs no secure context, so that a
  // page served over plain http still opens.
  //
  // VetrakMain runs twice when the plain page's body had its own onload (the
  // browser keeps that one and ours from the load listener): the first run
  // asks, the second does nothing. No line may stand between the last body
  // call and the end of VetrakMain, so the calls only collect, undecoded; the
  // page is shown once they are done, by the load listener right after
  // VetrakMain returns (before the page's own onload runs) or else by a timer.
  //
  // Where the page line is there and the browser can read it, the author's
  // whole page replaces this one as a new document; everywhere else the
  // title and body lines are shown in this page, as restoring would give them.
  static constexpr std::string_view kOpening = R"js(<html>
<head>
<title>Kelvara</title>
<script language="javascript">

  var VetrakPwd = null;
  var VetrakSalt = "";
  var VetrakWant = null;
  var VetrakAccepted = null;
  var VetrakPacked = null;
  var VetrakTitle = null;
  var VetrakBody = null;
  var VetrakAsked = false;
  var VetrakShown = false;

  // The characters of the Windows-1252 bytes 0x80 to 0x9F. The programs take
  // the password as Windows-1252 bytes, so the key here must be those bytes.
  var VetrakHigh = "\u20AC\u0081\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039\u0152\u008D\u017D\u008F" +
                   "\u0090\u2018\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122\u0161\u203A\u0153\u009D\u017E\u0178";

  function VetrakCheck(salt, check)
  {
    VetrakSalt = VetrakUnhex(salt, "\x00");
    VetrakWant = check.toUpperCase();
  }

  function SetVetrakPwd()
  {
    if (VetrakAsked) { VetrakPwd = null; return; }
    VetrakAsked = true;
    var answer = prompt("Page protected by Kelvara encryption tool.", "Please enter your password");
    while (answer != null && !VetrakRight(VetrakPwd = VetrakKey(answer)))
    {
      answer = prompt("Wrong password. Page protected by Kelvara encryption tool.", "");
    }
    if (answer == null) { VetrakPwd = null; } else { VetrakBody = []; VetrakAccepted = VetrakPwd; }
    setTimeout(VetrakShow, 0);
  }

  // The answer as Windows-1252 bytes, one character each; an empty answer is
  // the key of one zero byte. Null when a character has no byte there: no
  // password that the programs take can hold it.
  function VetrakKey(answer)
  {
    var key = "";
    for (var i = 0; i < answer.length; i++)
    {
      var c = answer.charCodeAt(i);
      if (c >= 0x80 && (c < 0xA0 || c > 0xFF))
      {
        c = 0x80 + VetrakHigh.indexOf(answer.charAt(i));
        if (c < 0x80) { return null; }
      }
      key += String.fromCharCode(c);
    }
    return key == "" ? "\x00" : key;
  }

  // A page without a check value cannot tell a wrong key.
  function VetrakRight(key)
  {
    return key != null && (VetrakWant == null || VetrakSha256(VetrakSalt + key) == VetrakWant);
  }

  function VetrakPage(packed)
  {
    VetrakPacked = packed;
  }

  function VetrakSetTitle(txt)
  {
    if (VetrakPwd != null) { VetrakTitle = txt; }
  }

  function VetrakAdd2Body(txt)
  {
    if (VetrakPwd != null) { VetrakBody.push(txt); }
  }

  function VetrakUnhex(txt, key)
  {
    var res = "";
    var ind = 0;
    for (var i = 0; i < txt.length; i += 2)
    {
      res += String.fromCharCode((256 + parseInt(txt.substr(i, 2), 16) - key.charCodeAt(ind)) % 256);
      ind = (ind + 1) % key.length;
    }
    return res;
  }

  // Bytes as the browser reads them from a file: in the page's own encoding,
  // else one character per byte.
  function VetrakText(bytes)
  {
    try
    {
      var codes = new Uint8Array(bytes.length);
      for (var i = 0; i < bytes.length; i++) { codes[i] = bytes.charCodeAt(i); }
      return new TextDecoder(document.characterSet, { ignoreBOM: true }).decode(codes);
    }
    catch (e)
    {
      return bytes;
    }
  }

  // True when the page's own load handlers are not for what this page now
  // shows: the author's page is on its way, or the visitor cancelled.
  function VetrakShow()
  {
    if (!VetrakAsked || VetrakShown) { return false; }
    VetrakShown = true;
    if (VetrakBody == null)
    {
      document.body.innerHTML = "This page is protected by Kelvara.";
      return true;
    }
    if (VetrakPacked != null && VetrakUnpack(VetrakPacked, VetrakAccepted)) { return true; }
    VetrakShowParts();
    return false;
  }

  // Shows the page as restoring would give it: the title as its element
  // reads it (character references and all), and the body. The head's other
  // lines and the body's attributes are in the page already.
  function VetrakShowParts()
  {
    if (VetrakTitle != null)
    {
      var title = VetrakText(VetrakUnhex(VetrakTitle, VetrakAccepted));
      try { document.getElementsByTagName("title")[0].innerHTML = title; }
      catch (e) { document.title = title; }
    }
    // The line breaks around the pieces are those that the restored page's
    // body holds, up to the ones after its end tags.
    for (var i = 0; i < VetrakBody.length; i++) { VetrakBody[i] = VetrakUnhex(VetrakBody[i], VetrakAccepted); }
    var lines = VetrakBody.length ? VetrakBody.join("\n") + "\n\n" : "";
    document.body.innerHTML = VetrakText("\n" + lines + "\n\n");
  }

  // The page line holds the page's zlib stream with the key added, in
  // base64. Starts inflating it and returns true where the browser has all
  // that this takes, so this part alone may use typed arrays and streams. A
  // stream that does not inflate (a wrong key on a page without a check
  // value, a damaged line) shows the parts instead.
  function VetrakUnpack(packed, key)
  {
    if (!window.Uint8Array || !window.atob || !window.TextDecoder || !window.DecompressionStream)
    {
      return false;
    }
    try
    {
      var chars = atob(packed);
      var bytes = new Uint8Array(chars.length);
      var codes = new Uint8Array(key.length);
      for (var k = 0; k < key.length; k++) { codes[k] = key.charCodeAt(k); }
      k = 0;
      for (var i = 0; i < chars.length; i++)
      {
        // Stored modulo 256 by the array itself.
        bytes[i] = chars.charCodeAt(i) - codes[k];
        if (++k == codes.length) { k = 0; }
      }
      VetrakInflate(bytes).then(function (page)
      {
        var text;
        try
        {
          text = VetrakPageText(page, document.characterSet);
        }
        catch (e)
        {
          VetrakShowParts();
          return;
        }
        setTimeout(function () { VetrakWrite(text); }, 0);
      }, VetrakShowParts);
      return true;
    }
    catch (e)
    {
      return false;
    }
  }
)js";
  static constexpr std::string_view kClosing = R"js(
  // While the page is being written, the load handlers after this one (the
  // page's own body onload, the head's scripts) are held back: the page
  // they are for is not there yet, and in it they run once more. After a
  // Cancel it never comes, and they would only fail on what is shown.
  function VetrakLoad(event)
  {
    VetrakMain();
    if (VetrakShow() && event.stopImmediatePropagation) { event.stopImmediatePropagation(); }
  }

  if (window.addEventListener) { window.addEventListener("load", VetrakLoad, false); }

  var VetrakRounds = [
    0x428A2F98, 0x71374491, 0xB5C0FBCF, 0xE9B5DBA5, 0x3956C25B, 0x59F111F1, 0x923F82A4, 0xAB1C5ED5,
    0xD807AA98, 0x12835B01, 0x243185BE, 0x550C7DC3, 0x72BE5D74, 0x80DEB1FE, 0x9BDC06A7, 0xC19BF174,
    0xE49B69C1, 0xEFBE4786, 0x0FC19DC6, 0x240CA1CC, 0x2DE92C6F, 0x4A7484AA, 0x5CB0A9DC, 0x76F988DA,
    0x983E5152, 0xA831C66D, 0xB00327C8, 0xBF597FC7, 0xC6E00BF3, 0xD5A79147, 0x06CA6351, 0x14292967,
    0x27B70A85, 0x2E1B2138, 0x4D2C6DFC, 0x53380D13, 0x650A7354, 0x766A0ABB, 0x81C2C92E, 0x92722C85,
    0xA2BFE8A1, 0xA81A664B, 0xC24B8B70, 0xC76C51A3, 0xD192E819, 0xD6990624, 0xF40E3585, 0x106AA070,
    0x19A4C116, 0x1E376C08, 0x2748774C, 0x34B0BCB5, 0x391C0CB3, 0x4ED8AA4A, 0x5B9CCA4F, 0x682E6FF3,
    0x748F82EE, 0x78A5636F, 0x84C87814, 0x8CC70208, 0x90BEFFFA, 0xA4506CEB, 0xBEF9A3F7, 0xC67178F2];

  function VetrakRotate(x, n)
  {
    return x >>> n | x << (32 - n);
  }

  function VetrakWord(x)
  {
    return String.fromCharCode(x >>> 24 & 255, x >>> 16 & 255, x >>> 8 & 255, x & 255);
  }

  // SHA-256 of a string of bytes (character codes 0 to 255), in upper-case hex.
  function VetrakSha256(bytes)
  {
    var h = [0x6A09E667, 0xBB67AE85, 0x3C6EF372, 0xA54FF53A, 0x510E527F, 0x9B05688C, 0x1F83D9AB, 0x5BE0CD19];
    var w = [];
    var n = bytes.length;
    bytes += "\x80";
    while (bytes.length % 64 != 56) { bytes += "\x00"; }
    bytes += VetrakWord(n / 0x20000000) + VetrakWord(n * 8);
    for (var at = 0; at < bytes.length; at += 64)
    {
      var v = h.slice(0);
      for (var j = 0; j < 64; j++)
      {
        if (j < 16)
        {
          var b = at + 4 * j;
          w[j] = bytes.charCodeAt(b) << 24 | bytes.charCodeAt(b + 1) << 16 | bytes.charCodeAt(b + 2) << 8 | bytes.charCodeAt(b + 3);
        }
        else
        {
          w[j] = (VetrakRotate(w[j - 15], 7) ^ VetrakRotate(w[j - 15], 18) ^ w[j - 15] >>> 3) + w[j - 16] +
                 (VetrakRotate(w[j - 2], 17) ^ VetrakRotate(w[j - 2], 19) ^ w[j - 2] >>> 10) + w[j - 7] | 0;
        }
        var t1 = v[7] + (VetrakRotate(v[4], 6) ^ VetrakRotate(v[4], 11) ^ VetrakRotate(v[4], 25)) +
                 (v[4] & v[5] ^ ~v[4] & v[6]) + VetrakRounds[j] + w[j];
        var t2 = (VetrakRotate(v[0], 2) ^ VetrakRotate(v[0], 13) ^ VetrakRotate(v[0], 22)) +
                 (v[0] & v[1] ^ v[0] & v[2] ^ v[1] & v[2]);
        // The working words move down one place; the fourth takes in t1.
        v.unshift(t1 + t2 | 0);
        v[4] = v[4] + t1 | 0;
        v.pop();
      }
      for (j = 0; j < 8; j++) { h[j] = h[j] + v[j] | 0; }
    }
    var hex = "";
    for (j = 0; j < 8; j++) { hex += ("0000000" + (h[j] >>> 0).toString(16)).slice(-8); }
    return hex.toUpperCase();
  }

  function VetrakMain()
  {)js";
  return decoder_parts::Joined<kOpening, decoder_parts::kWritePage, kClosing>();
}

}  // namespace kelvara
