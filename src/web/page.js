// The club's map: the lines of the page's data in three layers (all trips, the home region,
// the far trips: one document each), a legend of the trip classes that can hide a class, a
// popup with the sanitized description of the line clicked, a search box, and #<trip id>
// addresses that show a trip.
(function () {
  'use strict';

  var LAYERS = [
    { bit: 1, label: 'Все поездки' },
    { bit: 2, label: 'В домашнем регионе' },
    { bit: 4, label: 'Дальние поездки' }
  ];
  var CLASS_LABELS = {
    sn_day_trip: 'Велопробеги',
    sn_night_trip: 'Ночные велопробеги',
    sn_short_voyage: 'Велопоходы до 5 дней',
    sn_long_voyage: 'Велопоходы 6–21 день',
    sn_great_voyage: 'Велопоходы от 22 дней',
    sn_brevet: 'Бреветы'
  };
  // Overlays whose style is none of the six: a thin grey line.
  var OTHER = { id: 'other', color: '#555555', alpha: 204, width: 3, label: 'Прочие линии' };
  var EARTH_RADIUS_KM = 6371.0088;
  var RESULTS_SHOWN = 8;

  var data = JSON.parse(document.getElementById('omvo-data').textContent);
  var styles = data.styles.map(function (style) {
    style.label = CLASS_LABELS[style.id] || style.id;
    return style;
  });
  var groups = styles.concat([OTHER]);  // the legend's rows: the six classes, then overlays
  var items = data.items;

  // Every link of a description opens in a new tab, away from the map.
  DOMPurify.addHook('afterSanitizeAttributes', function (node) {
    if (node.nodeName === 'A' && node.hasAttribute('href')) {
      node.setAttribute('target', '_blank');
      node.setAttribute('rel', 'noopener noreferrer');
    }
  });

  var map = L.map('map', { zoomSnap: 0.25, worldCopyJump: true });
  L.tileLayer('https://tile.openstreetmap.org/{z}/{x}/{y}.png', {
    maxZoom: 19,
    attribution: '&copy; <a href="https://www.openstreetmap.org/copyright">' +
                 'Участники OpenStreetMap</a>'
  }).addTo(map);
  var drawn = L.featureGroup().addTo(map);

  var state = { layer: 1, hidden: {} };
  var byId = {};
  var byLowerId = {};

  function segmentKm(flat) {
    var km = 0;
    var rad = Math.PI / 180;
    for (var i = 2; i + 1 < flat.length; i += 2) {
      var lat1 = flat[i - 2] * rad, lat2 = flat[i] * rad;
      var dLat = lat2 - lat1, dLon = (flat[i + 1] - flat[i - 1]) * rad;
      var a = Math.sin(dLat / 2) * Math.sin(dLat / 2) +
              Math.cos(lat1) * Math.cos(lat2) * Math.sin(dLon / 2) * Math.sin(dLon / 2);
      km += 2 * EARTH_RADIUS_KM * Math.atan2(Math.sqrt(a), Math.sqrt(1 - a));
    }
    return km;
  }

  function popupContent(line) {
    var box = document.createElement('div');
    box.className = 'omvo-popup';
    var title = document.createElement('h2');
    title.textContent = line.omvoName;
    box.appendChild(title);
    var body = document.createElement('div');
    body.appendChild(DOMPurify.sanitize(line.omvoItem.d, { RETURN_DOM_FRAGMENT: true }));
    box.appendChild(body);
    return box;
  }

  items.forEach(function (item) {
    // Drawn in the style the documents give it; counted and hidden with its class, or with
    // the other lines when it is an overlay.
    var style = item.k >= 0 && item.k < styles.length ? styles[item.k] : OTHER;
    item.group = item.id !== undefined ? style : OTHER;
    item.km = 0;
    item.lines = [];
    item.bounds = L.latLngBounds([]);
    item.s.forEach(function (segment) {
      var flat = segment[1];
      var latlngs = [];
      for (var i = 0; i + 1 < flat.length; i += 2) latlngs.push([flat[i], flat[i + 1]]);
      var line = L.polyline(latlngs, {
        color: style.color,
        opacity: style.alpha / 255,
        weight: style.width,
        className: 'omvo-line omvo-style-' + style.id
      });
      line.omvoItem = item;
      line.omvoName = segment[0];
      line.bindPopup(popupContent, { maxWidth: 320, autoPanPadding: [24, 24] });
      item.km += segmentKm(flat);
      if (latlngs.length) item.bounds.extend(line.getBounds());
      item.lines.push(line);
    });
    if (item.id !== undefined) {
      if (!byId.hasOwnProperty(item.id)) byId[item.id] = item;
      var lower = item.id.toLowerCase();
      if (!byLowerId.hasOwnProperty(lower)) byLowerId[lower] = item;
    }
  });

  function shown(item) {
    return (item.m & state.layer) !== 0 && !state.hidden[item.group.id];
  }

  // The trips, lines and kilometres of each legend row in the chosen layer.
  function layerTotals(bit) {
    var totals = {};
    groups.forEach(function (group) { totals[group.id] = { trips: 0, lines: 0, km: 0 }; });
    items.forEach(function (item) {
      if ((item.m & bit) === 0) return;
      var total = totals[item.group.id];
      if (item.id !== undefined) total.trips += 1;
      total.lines += item.lines.length;
      total.km += item.km;
    });
    return totals;
  }

  function formatKm(km) {
    return Math.round(km).toLocaleString('ru-RU') + '\u00a0км';
  }

  // The panel: search, layer switch and legend.
  var panel = L.DomUtil.create('details', 'omvo-panel');
  panel.open = !window.matchMedia('(max-width: 600px)').matches;
  var summary = L.DomUtil.create('summary', '', panel);
  summary.textContent = 'Поездки клуба';

  var searchBox = L.DomUtil.create('div', 'omvo-search', panel);
  searchBox.setAttribute('role', 'search');
  var searchInput = L.DomUtil.create('input', '', searchBox);
  searchInput.type = 'search';
  searchInput.placeholder = 'Код поездки или слова названия';
  searchInput.setAttribute('aria-label', 'Найти поездку по коду или словам названия');
  searchInput.autocomplete = 'off';
  var results = L.DomUtil.create('ul', 'omvo-results', searchBox);
  results.setAttribute('aria-live', 'polite');

  var layerSet = L.DomUtil.create('fieldset', 'omvo-layers', panel);
  L.DomUtil.create('legend', '', layerSet).textContent = 'Карта';
  var layerRadios = LAYERS.map(function (layer) {
    var label = L.DomUtil.create('label', '', layerSet);
    var radio = L.DomUtil.create('input', '', label);
    radio.type = 'radio';
    radio.name = 'omvo-layer';
    radio.value = String(layer.bit);
    radio.checked = layer.bit === state.layer;
    radio.addEventListener('change', function () {
      if (radio.checked) setLayer(layer.bit, true);
    });
    var text = L.DomUtil.create('span', '', label);
    text.textContent = ' ' + layer.label + ' (' + layerTotalsTrips(layer.bit) + ')';
    return radio;
  });

  function layerTotalsTrips(bit) {
    var trips = 0;
    items.forEach(function (item) { if ((item.m & bit) && item.id !== undefined) trips += 1; });
    return trips;
  }

  var table = L.DomUtil.create('table', 'omvo-legend', panel);
  var head = L.DomUtil.create('tr', '', L.DomUtil.create('thead', '', table));
  ['', 'Класс', 'Поездок', 'Длина'].forEach(function (text) {
    L.DomUtil.create('th', '', head).textContent = text;
  });
  var tbody = L.DomUtil.create('tbody', '', table);
  var rows = {};
  var hasOverlays = items.some(function (item) { return item.group === OTHER; });
  groups.forEach(function (group) {
    if (group === OTHER && !hasOverlays) return;
    var row = L.DomUtil.create('tr', '', tbody);
    row.setAttribute('data-style', group.id);
    var toggleCell = L.DomUtil.create('td', '', row);
    var toggle = L.DomUtil.create('input', '', toggleCell);
    toggle.type = 'checkbox';
    toggle.checked = true;
    toggle.id = 'omvo-class-' + group.id;
    toggle.addEventListener('change', function () {
      state.hidden[group.id] = !toggle.checked;
      redraw();
    });
    var nameCell = L.DomUtil.create('td', '', row);
    var label = L.DomUtil.create('label', '', nameCell);
    label.htmlFor = toggle.id;
    var swatch = L.DomUtil.create('span', 'omvo-swatch', label);
    swatch.style.background = group.color;
    swatch.style.opacity = String(group.alpha / 255);
    swatch.style.height = group.width + 'px';
    label.appendChild(document.createTextNode(group.label));
    rows[group.id] = {
      toggle: toggle,
      trips: L.DomUtil.create('td', 'omvo-trips', row),
      km: L.DomUtil.create('td', 'omvo-km', row)
    };
  });

  function updateLegend() {
    var totals = layerTotals(state.layer);
    Object.keys(rows).forEach(function (id) {
      var total = totals[id];
      rows[id].trips.textContent = String(id === OTHER.id ? total.lines : total.trips);
      rows[id].km.textContent = formatKm(total.km);
      rows[id].toggle.checked = !state.hidden[id];
    });
  }

  var control = L.control({ position: 'topright' });
  control.onAdd = function () { return panel; };
  control.addTo(map);
  L.DomEvent.disableClickPropagation(panel);
  L.DomEvent.disableScrollPropagation(panel);

  function redraw() {
    items.forEach(function (item) {
      var show = shown(item);
      item.lines.forEach(function (line) {
        if (show && !drawn.hasLayer(line)) drawn.addLayer(line);
        if (!show && drawn.hasLayer(line)) drawn.removeLayer(line);
      });
    });
    updateLegend();
  }

  // Keeps what the view fits clear of the panel, unless the panel takes half the map.
  function fitOptions(padding, maxZoom) {
    var right = padding;
    if (panel.open && panel.offsetWidth * 2 < map.getSize().x) right += panel.offsetWidth + 10;
    return { paddingTopLeft: [padding, padding], paddingBottomRight: [right, padding],
             maxZoom: maxZoom, animate: false };
  }

  function fitShown() {
    var bounds = L.latLngBounds([]);
    items.forEach(function (item) {
      if (shown(item) && item.bounds.isValid()) bounds.extend(item.bounds);
    });
    if (!bounds.isValid()) return false;
    map.fitBounds(bounds, fitOptions(16, 18));
    return true;
  }

  function setLayer(bit, fit) {
    state.layer = bit;
    layerRadios.forEach(function (radio) { radio.checked = Number(radio.value) === bit; });
    redraw();
    if (fit) fitShown();
  }

  // Zooms to the trip and opens the popup of its first line; false for an unknown id.
  function showTrip(id) {
    var item = byId.hasOwnProperty(id) ? byId[id] : byLowerId[id.toLowerCase()];
    if (!item || !item.bounds.isValid()) return false;
    if ((item.m & state.layer) === 0) setLayer(1, false);
    if (state.hidden[item.group.id]) {
      state.hidden[item.group.id] = false;
      redraw();
    }
    map.fitBounds(item.bounds, fitOptions(24, 14));
    var line = item.lines.filter(function (l) { return l.getLatLngs().length > 0; })[0];
    var points = line.getLatLngs();
    line.openPopup(points[Math.floor(points.length / 2)]);
    return true;
  }

  function idFromAddress() {
    var hash = window.location.hash.replace(/^#/, '');
    try {
      return decodeURIComponent(hash);
    } catch (e) {
      return hash;
    }
  }

  function choose(id) {
    results.textContent = '';
    if (idFromAddress() === id) {
      showTrip(id);
    } else {
      window.location.hash = encodeURIComponent(id);  // hashchange shows it
    }
  }

  function normalize(text) {
    return text.toLowerCase().replace(/ё/g, 'е');
  }

  function search(query) {
    var q = normalize(query.trim());
    if (!q) return [];
    var words = q.split(/\s+/);
    var byCode = [], byWords = [];
    items.forEach(function (item) {
      if (item.id === undefined) return;
      if (normalize(item.id).indexOf(q) === 0) {
        byCode.push(item);
      } else {
        var heading = normalize(item.h);
        if (words.every(function (word) { return heading.indexOf(word) >= 0; })) {
          byWords.push(item);
        }
      }
    });
    return byCode.concat(byWords).slice(0, RESULTS_SHOWN);
  }

  function showResults() {
    results.textContent = '';
    search(searchInput.value).forEach(function (item) {
      var button = L.DomUtil.create('button', '', L.DomUtil.create('li', '', results));
      button.type = 'button';
      button.textContent = item.id + ' — ' + item.h;
      button.addEventListener('click', function () { choose(item.id); });
    });
  }

  searchInput.addEventListener('input', showResults);
  searchInput.addEventListener('keydown', function (event) {
    if (event.key === 'Enter') {
      event.preventDefault();
      var found = search(searchInput.value);
      if (found.length) choose(found[0].id);
    } else if (event.key === 'ArrowDown' && results.firstChild) {
      event.preventDefault();
      results.firstChild.firstChild.focus();
    }
  });
  results.addEventListener('keydown', function (event) {
    var item = event.target.parentNode;
    var next = event.key === 'ArrowDown' ? item.nextSibling
             : event.key === 'ArrowUp' ? item.previousSibling : undefined;
    if (next === undefined) return;
    event.preventDefault();
    if (next) {
      next.firstChild.focus();
    } else if (event.key === 'ArrowUp') {
      searchInput.focus();
    }
  });

  window.addEventListener('hashchange', function () { showTrip(idFromAddress()); });

  window.omvoMap = map;  // the page's map, for the browser's console
  setLayer(1, false);
  if (!fitShown()) map.setView([0, 0], 2);
  if (window.location.hash.length > 1) showTrip(idFromAddress());
})();
