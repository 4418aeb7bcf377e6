// The documentation page's behaviour: the filter box narrows the index to
// the objects whose name holds the typed text (ignoring case), a table's
// box in the diagram leads to the table's section, and the diagram is shown
// fitted to the page or at its actual size.
(function () {
  'use strict';
  var filter = document.getElementById('filter');
  var entries = Array.prototype.slice.call(document.querySelectorAll('#index li[data-name]'));
  var groups = Array.prototype.slice.call(document.querySelectorAll('#index li.schema'));
  var none = document.getElementById('no-match');
  function apply() {
    var text = filter.value.trim().toLowerCase();
    var shown = 0;
    entries.forEach(function (entry) {
      var match = text === '' || entry.getAttribute('data-name').toLowerCase().indexOf(text) >= 0;
      entry.hidden = !match;
      if (match) shown += 1;
    });
    groups.forEach(function (group) {
      group.hidden = text !== '' && group.querySelector('li[data-name]:not([hidden])') === null;
    });
    none.hidden = shown > 0 || entries.length === 0;
  }
  filter.addEventListener('input', apply);
  apply();
  var zoom = document.getElementById('zoom');
  if (zoom !== null) {
    zoom.addEventListener('click', function () {
      var actual = zoom.parentNode.querySelector('.picture').classList.toggle('actual');
      zoom.textContent = actual ? 'Fit to the page' : 'Actual size';
    });
  }
  Array.prototype.forEach.call(document.querySelectorAll('#diagram g.node'), function (node) {
    var target = node.id.replace(/^d-/, '');
    if (document.getElementById(target) === null) return;
    node.classList.add('link');
    node.addEventListener('click', function () { window.location.hash = target; });
  });
}());
