// The documentation pages' behaviour: the filter box narrows the index to
// the objects whose name or one of whose columns holds the typed text
// (ignoring case), and each diagram is fitted into its box, both ways, and
// zooms and moves with the buttons, the wheel, dragging and the keyboard.
(function () {
  'use strict';
  var filter = document.getElementById('filter');
  if (filter !== null) {
    var entries = Array.prototype.slice.call(document.querySelectorAll('[data-name]'));
    var groups = Array.prototype.slice.call(document.querySelectorAll('#index li.schema, section.schema'));
    var none = document.getElementById('no-match');
    var apply = function () {
      var text = filter.value.trim().toLowerCase();
      var shown = 0;
      entries.forEach(function (entry) {
        var match = text === '' || entry.getAttribute('data-name').toLowerCase().indexOf(text) >= 0 ||
          (entry.getAttribute('data-columns') || '').toLowerCase().split('\n').some(function (column) {
            return column.indexOf(text) >= 0;
          });
        entry.hidden = !match;
        if (match) shown += 1;
      });
      groups.forEach(function (group) {
        group.hidden = text !== '' && group.querySelector('[data-name]:not([hidden])') === null;
      });
      none.hidden = shown > 0 || entries.length === 0;
    };
    filter.addEventListener('input', apply);
    apply();
  }

  Array.prototype.forEach.call(document.querySelectorAll('figure.viewer'), function (viewer) {
    var box = viewer.querySelector('.picture');
    var svg = box.querySelector('svg');
    if (svg === null) return;
    var whole = svg.viewBox.baseVal;
    var full = { x: whole.x, y: whole.y, w: whole.width, h: whole.height };
    var view = { x: full.x, y: full.y, w: full.w, h: full.h };
    svg.setAttribute('preserveAspectRatio', 'xMidYMid meet');
    svg.setAttribute('width', '100%');
    svg.setAttribute('height', '100%');
    // The box is as tall as the picture fitted to its width, at most most
    // of the window: the picture then fits both ways.
    var size = function () {
      var width = box.clientWidth;
      var height = Math.min(window.innerHeight * 0.75, full.h * Math.min(1, width / full.w));
      box.style.height = Math.max(120, Math.ceil(height)) + 'px';
    };
    var show = function () { svg.setAttribute('viewBox', [view.x, view.y, view.w, view.h].join(' ')); };
    var zoom = function (factor, cx, cy) {
      var w = view.w / factor;
      var h = view.h / factor;
      if (w > full.w * 4 || w < 20) return;
      view.x = cx - (cx - view.x) * (w / view.w);
      view.y = cy - (cy - view.y) * (h / view.h);
      view.w = w;
      view.h = h;
      show();
    };
    var centre = function () { return [view.x + view.w / 2, view.y + view.h / 2]; };
    var fit = function () { view = { x: full.x, y: full.y, w: full.w, h: full.h }; show(); };
    var actual = function () {
      var c = centre();
      view.w = box.clientWidth;
      view.h = box.clientHeight;
      view.x = Math.max(full.x, Math.min(c[0] - view.w / 2, full.x + full.w - view.w));
      view.y = Math.max(full.y, Math.min(c[1] - view.h / 2, full.y + full.h - view.h));
      show();
    };
    var move = function (dx, dy) { view.x += dx * view.w; view.y += dy * view.h; show(); };
    // A point of the box in the picture's units.
    var at = function (event) {
      var rect = box.getBoundingClientRect();
      var scale = Math.max(view.w / rect.width, view.h / rect.height);
      return [view.x + view.w / 2 + (event.clientX - rect.left - rect.width / 2) * scale,
        view.y + view.h / 2 + (event.clientY - rect.top - rect.height / 2) * scale];
    };
    viewer.querySelector('.tools').addEventListener('click', function (event) {
      var action = event.target.getAttribute('data-zoom');
      var c = centre();
      if (action === 'in') zoom(1.25, c[0], c[1]);
      else if (action === 'out') zoom(0.8, c[0], c[1]);
      else if (action === 'fit') fit();
      else if (action === 'actual') actual();
    });
    box.addEventListener('wheel', function (event) {
      event.preventDefault();
      var p = at(event);
      zoom(event.deltaY < 0 ? 1.15 : 1 / 1.15, p[0], p[1]);
    }, { passive: false });
    box.addEventListener('keydown', function (event) {
      var keys = { '+': function () { var c = centre(); zoom(1.25, c[0], c[1]); },
        '=': function () { var c = centre(); zoom(1.25, c[0], c[1]); },
        '-': function () { var c = centre(); zoom(0.8, c[0], c[1]); },
        '0': fit, '1': actual,
        ArrowLeft: function () { move(-0.1, 0); }, ArrowRight: function () { move(0.1, 0); },
        ArrowUp: function () { move(0, -0.1); }, ArrowDown: function () { move(0, 0.1); } };
      if (!keys.hasOwnProperty(event.key)) return;
      event.preventDefault();
      keys[event.key]();
    });
    var drag = null;
    box.addEventListener('pointerdown', function (event) {
      if (event.button !== 0) return;
      drag = { x: event.clientX, y: event.clientY, moved: false };
    });
    box.addEventListener('pointermove', function (event) {
      if (drag === null) return;
      var dx = event.clientX - drag.x;
      var dy = event.clientY - drag.y;
      if (!drag.moved && Math.abs(dx) + Math.abs(dy) < 4) return;
      if (!drag.moved) box.setPointerCapture(event.pointerId);
      drag.moved = true;
      var rect = box.getBoundingClientRect();
      var scale = Math.max(view.w / rect.width, view.h / rect.height);
      view.x -= dx * scale;
      view.y -= dy * scale;
      drag.x = event.clientX;
      drag.y = event.clientY;
      show();
    });
    var stop = function () { if (drag !== null && drag.moved) box.classList.add('dragged'); drag = null; };
    box.addEventListener('pointerup', stop);
    box.addEventListener('pointercancel', stop);
    // A drag that ends on a box does not follow its link.
    box.addEventListener('click', function (event) {
      if (box.classList.contains('dragged')) {
        event.preventDefault();
        box.classList.remove('dragged');
      }
    }, true);
    window.addEventListener('resize', size);
    size();
    show();
  });
}());
