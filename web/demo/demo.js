// The demo page: sets the viewer up on the corpus the container serves; the
// viewer's own toolbar drives it. `?files=0` stops before the documents are shown, so that a script
// can change the viewer first and then call demo.showFiles().
(function () {
  'use strict';

  var viewer = document.getElementById('viewer');
  var status = document.getElementById('status');
  var params = new URLSearchParams(location.search);

  function say(text, isError) {
    status.textContent = text;
    status.classList.toggle('error', !!isError);
  }

  viewer.addEventListener('zov-error', function (e) { say('Error: ' + e.detail, true); });

  var corpus = null;

  function showFiles() {
    return viewer.SetFiles(corpus.files.map(function (f) { return '<' + f + '>'; }).join(''));
  }

  async function start() {
    var response = await fetch('/demo/corpus.json', { cache: 'no-store' });
    if (!response.ok) throw new Error('/demo/corpus.json: ' + response.status);
    corpus = await response.json();
    if (!corpus || !Array.isArray(corpus.files)) throw new Error('/demo/corpus.json has no file list');
    document.getElementById('captions').textContent = (corpus.captions || []).join(' · ');

    await viewer.ready;
    var instanceId = await viewer.SetUp(params.get('lang') === 'ja' ? 'ja' : 'en', 'C0C0C0', true, '', '', 'Folder', false);
    await viewer.SetPreviewFolder(String(corpus.previewRoot || ''));
    if (params.get('files') !== '0') await showFiles();
    say('Instance ' + instanceId + ' · ' + corpus.files.length + ' documents');
    return instanceId;
  }

  window.demo = {
    viewer: viewer,
    showFiles: function () { return showFiles(); },
    started: start()
  };
  window.demo.started.catch(function (err) { say(err.message, true); });
})();
