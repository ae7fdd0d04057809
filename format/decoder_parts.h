#pragma once

#include <algorithm>
#include <array>
#include <string_view>

// What the decoder scripts of both forms of protected page share.
namespace kelvara::decoder_parts {

// Raw texts joined into one at compile time, so that a script made of shared
// pieces is still one constant text.
template <const std::string_view&... kParts>
inline constexpr auto kJoined = [] {
  std::array<char, (kParts.size() + ...)> text{};
  auto at = text.begin();
  ((at = std::copy(kParts.begin(), kParts.end(), at)), ...);
  return text;
}();

template <const std::string_view&... kParts>
constexpr std::string_view Joined() {
  return {kJoined<kParts...>.data(), kJoined<kParts...>.size()};
}

// The author's page written as a new document from its bytes: the encoding
// the browser would read it in, and the scroll place kept across reloads.
// Plain JavaScript of old browsers, as the default decoder is.
inline constexpr std::string_view kWritePage = R"js(
  // The author's page as a new document, so that its document type, its
  // html element and its scripts hold and its load events fire. The URL,
  // and with it the fragment, stays that of this page. Called from a task of
  // its own: written while this page's load event is still being
  // dispatched, the new document's own load never fires.
  function VetrakWrite(text)
  {
    var place = VetrakPlace(false);
    document.open();
    // Set before the page's own, which come with its text.
    if (place) { window.addEventListener("load", function () { window.scrollTo(place[0], place[1]); }, false); }
    window.addEventListener("pagehide", function () { VetrakPlace(true); }, false);
    document.write(text);
    document.close();
  }

  // The bytes that a zlib stream inflates to, read from the stream itself:
  // read through a Response they took several times as long, the browser
  // doing other work between the pieces.
  function VetrakInflate(zlib)
  {
    var inflate = new DecompressionStream("deflate");
    var writer = inflate.writable.getWriter();
    // The reading side tells a stream that fails.
    writer.write(zlib).then(null, function () {});
    writer.close().then(null, function () {});
    var reader = inflate.readable.getReader();
    var parts = [];
    var size = 0;
    function read(piece)
    {
      if (!piece.done)
      {
        parts.push(piece.value);
        size += piece.value.length;
        return reader.read().then(read);
      }
      var bytes = new Uint8Array(size);
      for (var i = 0, at = 0; i < parts.length; at += parts[i++].length) { bytes.set(parts[i], at); }
      return bytes;
    }
    return reader.read().then(read);
  }

  // Where the visitor left the page, kept on leaving it and given back on
  // coming back to it or reloading it, as the browser does for other pages:
  // this one is empty when it loads, too short to be put back in place.
  function VetrakPlace(leaving)
  {
    try
    {
      // The first use of the storage can take milliseconds: none on a first visit.
      if (!leaving && performance.getEntriesByType("navigation")[0].type == "navigate") { return null; }
      var entry = window.navigation && navigation.currentEntry ? navigation.currentEntry.key : location.href;
      var key = "VetrakPlace " + entry;
      if (leaving) { sessionStorage.setItem(key, window.scrollX + " " + window.scrollY); return null; }
      var place = sessionStorage.getItem(key);
      return place ? place.split(" ") : null;
    }
    catch (e)
    {
      return null;
    }
  }

  // The page's bytes as the browser reads the page itself: by its byte order
  // mark, else by its own declaration, else as UTF-8 where they are valid
  // UTF-8 (what the browser does with a file), else in the encoding given.
  function VetrakPageText(bytes, fallback)
  {
    var label = null;
    if (bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) { label = "utf-8"; }
    else if (bytes[0] == 0xFE && bytes[1] == 0xFF) { label = "utf-16be"; }
    else if (bytes[0] == 0xFF && bytes[1] == 0xFE) { label = "utf-16le"; }
    else { label = VetrakDeclared(String.fromCharCode.apply(null, bytes.subarray(0, 1024))); }
    if (label != null) { return new TextDecoder(label).decode(bytes); }
    try
    {
      return new TextDecoder("utf-8", { fatal: true }).decode(bytes);
    }
    catch (e)
    {
      return new TextDecoder(fallback).decode(bytes);
    }
  }

  // The encoding that a meta line among the page's first bytes declares,
  // looked for as a browser looks before it reads a page: tags, attributes
  // and comments passed by, a Content-Type's charset only with its
  // http-equiv, labels that no encoding has passed by. Null when none is
  // found before the bytes end.
  function VetrakDeclared(text)
  {
    var at = 0;
    var spaces = "\t\n\f\r ";
    function space(c) { return c != "" && spaces.indexOf(c) >= 0; }
    // A tag cut off by the end of the bytes might have said anything.
    function next() { if (at >= text.length) { throw spaces; } return text.charAt(at); }
    function encoding(label)
    {
      try { return new TextDecoder(label).encoding; } catch (e) { return ""; }
    }
    // The next attribute as [name, value] in lower case, or null at ">".
    function attribute()
    {
      while (space(next()) || next() == "/") { at++; }
      if (next() == ">") { return null; }
      var name = "";
      for (;; at++)
      {
        var c = next();
        if (c == "=" && name != "") { break; }
        if (space(c))
        {
          while (space(next())) { at++; }
          if (next() != "=") { return [name, ""]; }
          break;
        }
        if (c == "/" || c == ">") { return [name, ""]; }
        name += c.toLowerCase();
      }
      at++;
      while (space(next())) { at++; }
      var value = "";
      var quote = next();
      if (quote == ">") { return [name, ""]; }
      if (quote == "\"" || quote == "'")
      {
        for (at++; next() != quote; at++) { value += next().toLowerCase(); }
        at++;
        return [name, value];
      }
      for (; !space(next()) && next() != ">"; at++) { value += next().toLowerCase(); }
      return [name, value];
    }
    // The label after "charset=" in a Content-Type value.
    function fromContent(content)
    {
      for (var from = 0; (from = content.indexOf("charset", from)) >= 0;)
      {
        for (from += 7; space(content.charAt(from)); from++) {}
        if (content.charAt(from) != "=") { continue; }
        for (from++; space(content.charAt(from)); from++) {}
        var quote = content.charAt(from);
        if (quote == "\"" || quote == "'")
        {
          var end = content.indexOf(quote, from + 1);
          return end < 0 ? "" : encoding(content.substring(from + 1, end));
        }
        var stop = from;
        while (stop < content.length && !space(content.charAt(stop)) && content.charAt(stop) != ";") { stop++; }
        return encoding(content.substring(from, stop));
      }
      return "";
    }
    try
    {
      for (; at < text.length; at++)
      {
        var start = text.substr(at, 6).toLowerCase();
        if (start.substr(0, 4) == "<!--")
        {
          at = text.indexOf("-->", at + 2) + 2;
          if (at < 2) { return null; }
        }
        else if (/^<meta[\t\n\f\r \/]/.test(start))
        {
          at += 5;
          var seen = {};
          var pragma = false;
          var needPragma = null;
          var charset = null;
          for (var pair; (pair = attribute()) != null;)
          {
            if (seen["=" + pair[0]]) { continue; }
            seen["=" + pair[0]] = true;
            if (pair[0] == "http-equiv") { pragma = pragma || pair[1] == "content-type"; }
            if (pair[0] == "content" && charset == null)
            {
              var declared = fromContent(pair[1]);
              if (declared != "") { charset = declared; needPragma = true; }
            }
            if (pair[0] == "charset") { charset = encoding(pair[1]); needPragma = false; }
          }
          if (needPragma != null && (pragma || !needPragma) && charset != "")
          {
            return /^utf-16/.test(charset) ? "utf-8" : charset == "x-user-defined" ? "windows-1252" : charset;
          }
        }
        else if (/^<\/?[a-z]/.test(start))
        {
          while (!space(next()) && next() != ">") { at++; }
          while (attribute() != null) {}
        }
        else if (/^<[!\/?]/.test(start))
        {
          at = text.indexOf(">", at + 1);
          if (at < 0) { return null; }
        }
      }
    }
    catch (end)
    {
    }
    return null;
  }
)js";

}  // namespace kelvara::decoder_parts
