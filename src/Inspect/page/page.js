// Keeps the page live: each event of /api/events (a change of the active
// errors) fetches the parts again from the server, which renders them as it
// does without JavaScript. EventSource reconnects by itself.
(function () {
  'use strict';
  if (!window.EventSource || !window.fetch) return;
  var status = document.getElementById('status');

  function load(id, url) {
    return fetch(url, { cache: 'no-store' }).then(function (response) {
      return response.text();
    }).then(function (html) {
      document.getElementById(id).innerHTML = html;
    }).catch(function () {});
  }
  function refresh() {
    load('active', '/part/active');
    load('history', '/part/history');
  }

  var events = new EventSource('/api/events');
  events.onopen = function () {
    status.textContent = 'live';
    status.className = 'status';
  };
  events.onmessage = refresh;
  events.onerror = function () {
    status.textContent = 'reconnecting...';
    status.className = 'status offline';
  };
  // The ages ("3 min ago") move on without events.
  setInterval(refresh, 30000);

  var form = document.getElementById('decode-form');
  var code = document.getElementById('code');
  form.addEventListener('submit', function (event) {
    event.preventDefault();
    var value = code.value.trim();
    load('decode', '/part/decode?code=' + encodeURIComponent(value));
    history.replaceState(null, '', value ? '/?code=' + encodeURIComponent(value) : '/');
  });
})();
