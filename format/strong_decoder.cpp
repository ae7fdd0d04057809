#include "format/strong_decoder.h"

#include "format/decoder_parts.h"

namespace kelvara {

namespace {

// Nothing of the page shows before the password has opened it: the form is
// all there is until then. No part of it loads anything (the icon link keeps
// the browser from asking the server for one).
//
// The script needs Web Crypto, which browsers give only to secure contexts
// (https, localhost, files), and DecompressionStream; where either is missing
// the form says so. It is written in the same plain JavaScript as the default
// decoder, whose page writing it shares, so that an old browser still parses
// it and shows that line rather than nothing. Every name of its own begins
// with Vetrak: the author's page is written into this same window and keeps
// its globals.
constexpr std::string_view kHeadOpening = R"js(<link rel="icon" href="data:,">
<style>
  html { color-scheme: light dark; }
  body { margin: 0; font: 16px/1.5 system-ui, -apple-system, "Segoe UI", Roboto, sans-serif; }
  [hidden] { display: none !important; }
  .VetrakBox { box-sizing: border-box; max-width: 26rem; margin: 0 auto; padding: 12vh 1rem 2rem; }
  .VetrakBox h1 { font-size: 1.375rem; margin: 0 0 1rem; }
  #VetrakNote { min-height: 1.5em; margin: 0 0 0.75rem; font-weight: 600; }
  #VetrakPassword { box-sizing: border-box; width: 100%; min-height: 44px; margin: 0.25rem 0 0.5rem; padding: 0.5rem; font: inherit; }
  .VetrakRemember { display: flex; align-items: center; gap: 0.625rem; min-height: 44px; }
  .VetrakRemember input { width: 22px; height: 22px; margin: 0; flex: none; }
  .VetrakAside { margin: 0 0 1rem; font-size: 0.875rem; opacity: 0.8; }
  .VetrakBox button { min-height: 44px; padding: 0.5rem 1.25rem; font: inherit; }
  #VetrakForget { margin-top: 1.5rem; }
</style>
<script>

  // The data lines after the form only collect; the work starts once the
  // page has loaded.
  var VetrakSaltText = null;
  var VetrakIterations = 0;
  var VetrakSlotTexts = [];
  var VetrakPayloadTexts = null;
  var VetrakSealText = null;
  var VetrakData = null;
  var VetrakBusy = false;

  // Remembered keys are kept per salt: one key opens every page protected
  // with it, and only those.
  var VetrakKeptPrefix = "kelvara:";
  var VetrakDamage = "damaged";

  var VetrakSays = {
    https: "This page opens only over a secure connection: open it at its https:// address.",
    browser: "This browser cannot open this page; a current browser can.",
    damaged: "This page is damaged.",
    wrong: "Wrong password.",
    empty: "Type the password.",
    link: "The key in this link does not open this page.",
    working: "Checking the password\u2026",
    forgotten: "This device remembers no password for this site now."
  };

  function VetrakStrong(salt, iterations)
  {
    VetrakSaltText = salt;
    VetrakIterations = iterations;
  }

  function VetrakSlot(nonce, wrapped)
  {
    VetrakSlotTexts.push([nonce, wrapped]);
  }

  function VetrakPayload(nonce, data)
  {
    VetrakPayloadTexts = [nonce, data];
  }

  function VetrakSealed(seal)
  {
    VetrakSealText = seal;
  }

  function VetrakElement(name)
  {
    return document.getElementById("Vetrak" + name);
  }

  function VetrakBytes(base64)
  {
    var chars = atob(base64);
    var bytes = new Uint8Array(chars.length);
    for (var i = 0; i < chars.length; i++) { bytes[i] = chars.charCodeAt(i); }
    return bytes;
  }

  // A key from a link or from storage; no bytes (a key that opens nothing)
  // when it is not base64.
  function VetrakKeyBytes(base64)
  {
    try { return VetrakBytes(base64); } catch (e) { return new Uint8Array(0); }
  }

  // The iteration count as the page writes it. The seal covers that text,
  // and the script reads other texts (6e5, 0x927C0) as the same number.
  function VetrakIterationText()
  {
    for (var i = 0; i < document.scripts.length; i++)
    {
      var call = /VetrakStrong\("[^"]*", ([^)]*)\);/.exec(document.scripts[i].text);
      if (call) { return call[1]; }
    }
    return null;
  }

  // The data lines decoded; false when one is missing or malformed. The
  // iteration count is bounded as the programs bound it: a page made to keep
  // the browser busy for minutes is a damaged one.
  function VetrakRead()
  {
    if (VetrakSaltText == null || VetrakPayloadTexts == null || VetrakSlotTexts.length == 0 ||
        VetrakSealText == null || VetrakIterationText() !== String(VetrakIterations) ||
        !(VetrakIterations >= 1 && VetrakIterations <= 10000000 && VetrakIterations % 1 == 0)) { return false; }
    try
    {
      var slots = [];
      for (var i = 0; i < VetrakSlotTexts.length; i++)
      {
        slots.push([VetrakBytes(VetrakSlotTexts[i][0]), VetrakBytes(VetrakSlotTexts[i][1])]);
      }
      VetrakData = { salt: VetrakBytes(VetrakSaltText), slots: slots,
                     payload: [VetrakBytes(VetrakPayloadTexts[0]), VetrakBytes(VetrakPayloadTexts[1])] };
      return true;
    }
    catch (e)
    {
      return false;
    }
  }

  // Whether the seal over the data lines' texts holds, as the programs check
  // it: a page changed or cut short is told as damaged, and never as a wrong
  // password or a remembered key that no longer opens it.
  function VetrakSealHolds()
  {
    var texts = [VetrakSaltText, String(VetrakIterations)];
    for (var i = 0; i < VetrakSlotTexts.length; i++) { texts.push(VetrakSlotTexts[i][0], VetrakSlotTexts[i][1]); }
    texts.push(VetrakPayloadTexts[0], VetrakPayloadTexts[1], "");
    return crypto.subtle.digest("SHA-256", new TextEncoder().encode(texts.join("\n"))).then(function (digest)
    {
      var hex = "";
      var bytes = new Uint8Array(digest);
      for (var i = 0; i < bytes.length; i++) { hex += (bytes[i] < 16 ? "0" : "") + bytes[i].toString(16); }
      return hex == VetrakSealText.toLowerCase();
    });
  }

  // A share link or the forgetting address opened in a tab that shows this
  // page already changes only the fragment: the page starts again with it.
  // Watched again once the author's page is written, which ends every
  // listener of the form's.
  function VetrakWatchFragment()
  {
    window.addEventListener("hashchange", function ()
    {
      if (/^#kelvara(=|-forget$)/.test(location.hash)) { location.reload(); }
    }, false);
  }

  // The site's storage, or null where the browser refuses it (sandboxed
  // frames, some private modes).
  function VetrakStorage()
  {
    try
    {
      var storage = window.localStorage;
      return storage && storage.length >= 0 ? storage : null;
    }
    catch (e)
    {
      return null;
    }
  }

  // The names of the keys that this site's pages keep.
  function VetrakKeptNames(storage)
  {
    var names = [];
    try
    {
      for (var i = 0; storage && i < storage.length; i++)
      {
        if (storage.key(i).indexOf(VetrakKeptPrefix) == 0) { names.push(storage.key(i)); }
      }
    }
    catch (e)
    {
    }
    return names;
  }

  function VetrakRemembered()
  {
    try
    {
      var kept = VetrakStorage().getItem(VetrakKeptPrefix + VetrakSaltText);
      return kept == null ? null : VetrakKeyBytes(kept);
    }
    catch (e)
    {
      return null;
    }
  }

  function VetrakRemember(kek)
  {
    try { VetrakStorage().setItem(VetrakKeptPrefix + VetrakSaltText, btoa(String.fromCharCode.apply(null, kek))); }
    catch (e) {}
  }

  // Forgets this page's key, or with `all` every key of the site.
  function VetrakForget(all)
  {
    var storage = VetrakStorage();
    var names = all ? VetrakKeptNames(storage) : [VetrakKeptPrefix + VetrakSaltText];
    try { for (var i = 0; i < names.length; i++) { storage.removeItem(names[i]); } }
    catch (e) {}
  }

  // Out of the address bar and the history entry at once. Some sandboxed
  // frames refuse replaceState; a jump to an empty fragment still replaces
  // the entry there.
  function VetrakDropFragment()
  {
    try
    {
      history.replaceState(null, "", location.href.replace(/#.*$/, ""));
    }
    catch (e)
    {
      try { location.replace("#"); } catch (e2) {}
    }
  }

  function VetrakSay(text)
  {
    VetrakElement("Note").textContent = text;
  }

  // Shows the form with a note; `ask` false leaves the password out, for a
  // page that this browser cannot open anyway.
  function VetrakAsk(note, ask)
  {
    var storage = VetrakStorage();
    VetrakElement("Form").hidden = false;
    VetrakElement("Ask").hidden = !ask;
    VetrakElement("Keep").hidden = storage == null;
    VetrakElement("Forget").hidden = VetrakKeptNames(storage).length == 0;
    VetrakSay(note);
    if (ask) { VetrakElement("Password").focus(); }
  }

  function VetrakWorking(busy)
  {
    VetrakBusy = busy;
    VetrakElement("Password").readOnly = busy;
    VetrakElement("Open").disabled = busy;
    VetrakSay(busy ? VetrakSays.working : "");
  }

  function VetrakGcm(nonce, use)
  {
    return { name: "AES-GCM", iv: nonce, additionalData: new TextEncoder().encode("Kelvara strong " + use + " 1") };
  }

  // The key-encryption key of a password, as the bytes that are remembered.
  function VetrakDerive(password)
  {
    return crypto.subtle.importKey("raw", new TextEncoder().encode(password), "PBKDF2", false, ["deriveBits"])
      .then(function (base)
      {
        return crypto.subtle.deriveBits({ name: "PBKDF2", hash: "SHA-256", salt: VetrakData.salt, iterations: VetrakIterations },
                                        base, 256);
      })
      .then(function (bits) { return new Uint8Array(bits); });
  }

  // The page's content key, when the key-encryption key opens one of its
  // slots; else null.
  function VetrakUnwrap(kek)
  {
    var at = 0;
    function next(key)
    {
      if (at == VetrakData.slots.length) { return null; }
      var slot = VetrakData.slots[at++];
      // A content key for AES-256 only, as the programs take it.
      return crypto.subtle.decrypt(VetrakGcm(slot[0], "key"), key, slot[1])
        .then(function (content) { return content.byteLength == 32 ? content : next(key); }, function () { return next(key); });
    }
    return crypto.subtle.importKey("raw", kek, "AES-GCM", false, ["decrypt"]).then(next, function () { return null; });
  }

  // The author's page from the content key: written from a task of its own
  // once the promise is resolved, so that whoever waits on it acts first.
  function VetrakOpen(key)
  {
    var payload = VetrakData.payload;
    return crypto.subtle.importKey("raw", key, "AES-GCM", false, ["decrypt"])
      .then(function (content) { return crypto.subtle.decrypt(VetrakGcm(payload[0], "page"), content, payload[1]); })
      .then(VetrakInflate)
      .then(function (page)
      {
        var text = VetrakPageText(page, "windows-1252");
        setTimeout(function () { VetrakWrite(text); VetrakWatchFragment(); }, 0);
      });
  }

  // True when the key opens the page, false when it opens no slot. A slot
  // that opens onto a payload that does not is a damaged page.
  function VetrakTry(kek)
  {
    return VetrakUnwrap(kek).then(function (key)
    {
      if (key == null) { return false; }
      return VetrakOpen(key).then(function () { return true; }, function () { throw VetrakDamage; });
    });
  }

  function VetrakFailed(reason)
  {
    VetrakWorking(false);
    VetrakAsk(reason === VetrakDamage ? VetrakSays.damaged : VetrakSays.browser, false);
  }

  // The form is never submitted, only handled here: a sandboxed frame
  // refuses to submit forms and gives no submit event, but Enter in the
  // field still clicks Open there.
  function VetrakSubmit(event)
  {
    event.preventDefault();
    var field = VetrakElement("Password");
    if (VetrakBusy) { return; }
    if (field.value == "") { VetrakSay(VetrakSays.empty); field.focus(); return; }
    var remember = VetrakElement("Remember").checked;
    var kek = null;
    VetrakWorking(true);
    VetrakDerive(field.value)
      .then(function (bits) { return VetrakTry(kek = bits); })
      .then(function (opened)
      {
        if (opened)
        {
          if (remember) { VetrakRemember(kek); }
          return;
        }
        VetrakWorking(false);
        field.value = "";
        VetrakSay(VetrakSays.wrong);
        field.focus();
      })
      .then(null, VetrakFailed);
  }

  function VetrakForgetPressed()
  {
    VetrakForget(true);
    VetrakAsk(VetrakSays.forgotten, true);
  }

  // A share link's key is tried first, else the key that this browser
  // remembers for the page; the form asks when neither opens it.
  function VetrakStart()
  {
    var link = /^#kelvara=(.*)$/.exec(location.hash);
    var forget = location.hash == "#kelvara-forget";
    if (link || forget) { VetrakDropFragment(); }
    if (forget) { VetrakForget(true); }
    VetrakElement("Form").addEventListener("submit", VetrakSubmit, false);
    VetrakElement("Open").addEventListener("click", VetrakSubmit, false);
    VetrakElement("Forget").addEventListener("click", VetrakForgetPressed, false);
    VetrakWatchFragment();
    if (!window.crypto || !crypto.subtle)
    {
      return VetrakAsk(window.isSecureContext === false ? VetrakSays.https : VetrakSays.browser, false);
    }
    if (!window.DecompressionStream || !window.TextEncoder || !window.TextDecoder)
    {
      return VetrakAsk(VetrakSays.browser, false);
    }
    if (!VetrakRead()) { return VetrakAsk(VetrakSays.damaged, false); }
    VetrakSealHolds().then(function (whole)
    {
      if (!whole) { throw VetrakDamage; }
      var key = link ? VetrakKeyBytes(link[1].replace(/-/g, "+").replace(/_/g, "/")) : forget ? null : VetrakRemembered();
      if (key == null) { return VetrakAsk(forget ? VetrakSays.forgotten : "", true); }
      return VetrakTry(key).then(function (opened)
      {
        if (opened) { return; }
        if (!link) { VetrakForget(false); }
        VetrakAsk(link ? VetrakSays.link : "", true);
      });
    }).then(null, VetrakFailed);
  }

  if (window.addEventListener) { window.addEventListener("load", VetrakStart, false); }
)js";

constexpr std::string_view kHeadClosing = R"js(
</script>)js";

constexpr std::string_view kBody =
    R"html(<noscript><p class="VetrakBox">This page opens with JavaScript only: turn it on and reload the page.</p></noscript>
<form id="VetrakForm" class="VetrakBox" hidden>
<h1>Protected page</h1>
<p id="VetrakNote" role="status" aria-live="polite"></p>
<div id="VetrakAsk">
<label for="VetrakPassword">Password</label>
<input id="VetrakPassword" type="password" autocomplete="current-password" autocapitalize="off" spellcheck="false">
<div id="VetrakKeep">
<label class="VetrakRemember"><input id="VetrakRemember" type="checkbox" aria-describedby="VetrakKeepNote">Remember me on this device</label>
<p id="VetrakKeepNote" class="VetrakAside">Keeps a key to this page in this browser, never the password.</p>
</div>
<button id="VetrakOpen" type="submit">Open</button>
</div>
<button id="VetrakForget" type="button" hidden>Forget the password remembered on this device</button>
</form>)html";

}  // namespace

std::string_view StrongPageHead() {
  return decoder_parts::Joined<kHeadOpening, decoder_parts::kWritePage, kHeadClosing>();
}

std::string_view StrongPageBody() {
  return kBody;
}

}  // namespace kelvara
