// The page around the game: the program's options from the address, a
// progress bar while its files load, what the page says when something
// fails, when the options are wrong or when the game has ended, the
// fullscreen button, the service worker that keeps the page for playing
// offline, and online play through the relay that serves the page:
// ?host, ?join=CODE and ?watch=CODE play on this page's own origin, the room
// is kept for a reload of the page, and a button copies the invite link.
"use strict";

(function () {
  var canvas = document.getElementById("canvas");
  var loading = document.getElementById("loading");
  var progress = document.getElementById("progress");
  var button = document.getElementById("fullscreen");
  // Every line the program wrote, for the page to show should it stop
  // before its first picture.
  var output = [];
  var started = false;
  var stopped = false;

  function show(text, lines, link, address) {
    stopped = true;
    loading.hidden = true;
    button.hidden = true;
    document.getElementById("invite").hidden = true;
    var said = document.getElementById("message-text");
    said.textContent = text;
    said.hidden = !text;
    var shown = document.getElementById("message-output");
    shown.textContent = lines.join("\n");
    shown.hidden = lines.length === 0;
    var again = document.getElementById("again");
    again.hidden = !link;
    again.textContent = link || "";
    again.href = address || location.href;
    document.getElementById("message").hidden = false;
  }

  function failed(what, error) {
    if (stopped)
      return;
    var lines = error ? [String(error && error.message ? error.message : error)] : [];
    show(what, lines, "Try again");
  }

  // "?computer=stripes&level=easy&fullscreen" is the command line
  // "--computer=stripes --level=easy --fullscreen".
  function wordsOfAddress() {
    return location.search.replace(/^\?/, "").split("&").filter(Boolean).map(function (part) {
      part = part.replace(/\+/g, " ");
      try {
        part = decodeURIComponent(part);
      } catch (error) {
        // Left as written: the program names what it does not know.
      }
      return "--" + part;
    });
  }

  // ---------------------------------------------------------------- online

  // The relay is the page's own origin, the one that served it.
  function relayAddress() {
    return (location.protocol === "https:" ? "wss://" : "ws://") + location.host + "/";
  }

  function inviteLink(code) {
    return location.origin + "/?join=" + encodeURIComponent(code);
  }

  // The room joined or watched, kept for this tab alone, so that a reload
  // (whose address no longer holds it) goes back to it; the seat's token
  // is kept by the game itself in its state folder.
  var ROOM_KEY = "torvek-room";

  function keptRoom() {
    try {
      return sessionStorage.getItem(ROOM_KEY);
    } catch (error) {
      return null;
    }
  }

  function keepRoom(option) {
    try {
      if (option)
        sessionStorage.setItem(ROOM_KEY, option);
      else
        sessionStorage.removeItem(ROOM_KEY);
    } catch (error) {
      // A browser that keeps nothing: a reload starts afresh.
    }
  }

  // The words of the address as the program's options: --host and
  // "--join=CODE" or "--watch=CODE" become the relay's address on this
  // origin. ?join= and ?watch= leave the address once read, so that
  // bookmarking or sharing the page does not take the seat again.
  function optionsOfAddress() {
    var words = wordsOfAddress();
    var online = null;
    var options = [];
    words.forEach(function (word) {
      var room = /^--(join|watch)=(.*)$/.exec(word);
      if (room && room[2].indexOf("@") < 0 && room[2].indexOf("://") < 0)
        online = "--" + room[1] + "=" + room[2] + "@" + relayAddress();
      else if (room)
        online = word;
      else if (word === "--host")
        options.push("--host=" + relayAddress());
      else
        options.push(word);
    });
    if (online) {
      keepRoom(online);
      history.replaceState(history.state, "", addressWithout(["join", "watch"]));
    } else if (!words.some(function (word) { return word.indexOf("--host") === 0; })) {
      online = keptRoom();
    }
    return online ? options.concat([online]) : options;
  }

  // This page's address without the named words of its query.
  function addressWithout(names) {
    var kept = location.search.replace(/^\?/, "").split("&").filter(function (part) {
      return part && names.indexOf(part.split("=")[0]) < 0;
    });
    return location.pathname + (kept.length ? "?" + kept.join("&") : "") + location.hash;
  }

  // The program prints "TORVEK room CODE" when it has made a room: the
  // invite button offers the link to it from then on.
  var invite = document.getElementById("invite");
  var invite_link = "";
  var invite_copied = false;

  function noteRoom(line) {
    var made = /^TORVEK room (\S+)$/.exec(line);
    if (!made)
      return;
    invite_link = inviteLink(made[1]);
    invite.title = "Copy the invite link: " + invite_link;
    invite.textContent = "Copy invite link";
    invite.hidden = stopped;
  }

  // The clipboard of a secure page, else the old way through a selection.
  function copyInvite() {
    function copied() {
      invite.textContent = "Copied: " + invite_link;
      // From now on shown only while the mouse moves, as the fullscreen
      // button is: it would cover the hand.
      invite_copied = true;
      showButton();
    }
    function byCommand() {
      var field = document.createElement("textarea");
      field.value = invite_link;
      document.body.appendChild(field);
      field.select();
      var done = document.execCommand("copy");
      document.body.removeChild(field);
      canvas.focus();
      if (done)
        copied();
      else
        invite.textContent = invite_link;
    }
    if (navigator.clipboard && navigator.clipboard.writeText)
      navigator.clipboard.writeText(invite_link).then(copied, byCommand);
    else
      byCommand();
  }

  // The button never takes the keyboard's focus from the game.
  invite.addEventListener("mousedown", function (event) { event.preventDefault(); });
  invite.addEventListener("click", copyInvite);

  // The page without its options.
  function plainAddress() {
    return location.href.replace(/[?#].*$/, "");
  }

  // ---------------------------------------------------------------- progress

  var files = {};

  function noteProgress(file, done, total) {
    files[file] = {done: done, total: Math.max(done, total)};
    var done_all = 0, total_all = 0;
    for (var name in files) {
      done_all += files[name].done;
      total_all += files[name].total;
    }
    progress.value = total_all > 0 ? done_all / total_all : 0;
  }

  // The file packager reports "Downloading data... (12345/67890)".
  function noteStatus(text) {
    var counts = /\((\d+)\/(\d+)\)/.exec(text || "");
    if (counts)
      noteProgress("data", Number(counts[1]), Number(counts[2]));
  }

  function fetchWithProgress(url) {
    return fetch(url).then(function (response) {
      if (!response.ok)
        throw new Error(url + ": " + response.status + " " + response.statusText);
      var total = Number(response.headers.get("Content-Length")) || 0;
      if (!response.body || !response.body.getReader)
        return response.arrayBuffer();
      var reader = response.body.getReader();
      var chunks = [];
      var size = 0;
      function read() {
        return reader.read().then(function (step) {
          if (step.done) {
            var whole = new Uint8Array(size);
            var at = 0;
            chunks.forEach(function (chunk) {
              whole.set(chunk, at);
              at += chunk.length;
            });
            return whole.buffer;
          }
          chunks.push(step.value);
          size += step.value.length;
          noteProgress(url, size, total);
          return read();
        });
      }
      return read();
    });
  }

  // ---------------------------------------------------------------- the program

  function onExit(status) {
    // A match left or ended is no room to come back to.
    keepRoom(null);
    if (started)
      show("The game has ended.", [], "Play again");
    else if (status === 0)
      show("", output, "Play", plainAddress());
    else if (status === 2)
      show("TORVEK did not start.", output,
           "Play without options", plainAddress());
    else
      show("TORVEK could not start.", output, "Try again");
  }

  function note(line) {
    console.log(line);
    output.push(line);
    noteRoom(line);
  }

  window.Module = {
    canvas: canvas,
    arguments: optionsOfAddress(),
    print: note,
    printErr: note,
    setStatus: noteStatus,
    // The program itself, read with its progress shown; compiled from its
    // bytes, so that any web server will do, whatever type it gives the file.
    instantiateWasm: function (imports, done) {
      fetchWithProgress("torvek.wasm").then(function (bytes) {
        return WebAssembly.instantiate(bytes, imports);
      }).then(function (result) {
        done(result.instance, result.module);
      }, function (error) {
        failed("The game could not be loaded.", error);
      });
      return {};
    },
    onFirstPicture: function () {
      started = true;
      loading.hidden = true;
      keepPage();
    },
    onExit: onExit,
    onAbort: function (what) {
      failed(started ? "TORVEK stopped because of an error." : "TORVEK could not start.", what);
    },
  };

  window.addEventListener("error", function (event) {
    failed(started ? "TORVEK stopped because of an error." : "TORVEK could not start.", event.message);
  });

  // ---------------------------------------------------------------- the fullscreen button

  // Shown while the mouse moves, so that it never covers the picture for long.
  var hide_timer = 0;
  function showButton() {
    if (stopped)
      return;
    button.hidden = false;
    if (invite_copied)
      invite.hidden = false;
    clearTimeout(hide_timer);
    hide_timer = setTimeout(function () {
      button.hidden = true;
      if (invite_copied)
        invite.hidden = true;
    }, 2500);
  }
  window.addEventListener("mousemove", showButton);
  window.addEventListener("touchstart", showButton);
  // The button never takes the keyboard's focus from the game.
  button.addEventListener("mousedown", function (event) { event.preventDefault(); });
  button.addEventListener("click", function () {
    if (Module.toggleFullscreen)
      Module.toggleFullscreen();
  });
  // No long-press menu, and on Safari no pinch of the page.
  document.addEventListener("contextmenu", function (event) { event.preventDefault(); });
  document.addEventListener("gesturestart", function (event) { event.preventDefault(); });

  // ---------------------------------------------------------------- playing offline

  // Once the game shows, so that its own files come first: the service
  // worker keeps every file of the page (sw.js). Browsers have none on a
  // page that is not secure (neither https nor this machine's own).
  function keepPage() {
    if (!("serviceWorker" in navigator))
      return;
    navigator.serviceWorker.register("sw.js").catch(function (error) {
      console.log("offline: the page cannot be kept: " + error.message);
    });
  }

  // ---------------------------------------------------------------- start

  if (typeof WebAssembly !== "object" || typeof WebAssembly.instantiate !== "function" ||
      typeof fetch !== "function") {
    show("TORVEK needs a browser that runs WebAssembly.", [], "");
    return;
  }
  var script = document.createElement("script");
  script.src = "torvek.js";
  script.onerror = function () {
    failed("The game could not be loaded.", "torvek.js could not be read");
  };
  document.body.appendChild(script);
})();
