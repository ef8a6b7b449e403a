// The club's map: the trips and overlays of the page's data on three maps (all trips, the
// home region, the far trips: one document each), drawn on one canvas; a panel beside the map
// (below it on a phone) with a search, the switch of maps and a legend that hides a class or
// an overlay; a click on the map offers the lines under it and opens the chosen one's popup
// with its sanitized description; #<trip id> addresses show a trip.
//
// In sections: constants, the parsed data (read once, never changed), the view state (what
// the member has chosen), the drawing of lines, the builders of the page's parts, the public
// functions, the private helpers, and the start.
(function () {
  'use strict';

  // ---- Constants -------------------------------------------------------------------------

  var NARROW = '(max-width: 600px)';   // the phone layout, as page.css has it
  var COARSE = '(pointer: coarse)';    // a finger: a wider hit test around the lines
  var TOLERANCE_PX = { fine: 3, coarse: 10 };  // beyond half the line's width
  var OTHER_STYLE = { color: '#555555', alpha: 204, width: 3 };  // overlays of no class style
  var HIGHLIGHT_EXTRA_WIDTH = 4;
  var TRIP_MAX_ZOOM = 14;
  var RESULTS_PAGE = 100;              // search results shown at a time
  var UNITS_PER_DEGREE = 1e5;          // of the data's coordinates
  var EARTH_RADIUS_KM = 6371.0088;
  var CONTROL_MARGIN_PX = 10;
  var POPUP_MARGINS_PX = { wide: [48, 60], narrow: [68, 60] };  // width, height

  // A month in any case form, after normalize(): "июль", "июля", "июле", "июлем", ...
  var MONTH_FORMS = [
    /^январ(ь|я|ю|е|ем)$/, /^феврал(ь|я|ю|е|ем)$/, /^март(а|у|е|ом)?$/, /^апрел(ь|я|ю|е|ем)$/,
    /^ма(й|я|ю|е|ем)$/, /^июн(ь|я|ю|е|ем)$/, /^июл(ь|я|ю|е|ем)$/, /^август(а|у|е|ом)?$/,
    /^сентябр(ь|я|ю|е|ем)$/, /^октябр(ь|я|ю|е|ем)$/, /^ноябр(ь|я|ю|е|ем)$/,
    /^декабр(ь|я|ю|е|ем)$/
  ];

  // What a description may hold: text formatting, line breaks, lists and links over http,
  // https and mailto (opening in a new tab, below). Styles, forms, images, frames, svg, math,
  // scripts and every attribute but these two go.
  var SANITIZER = {
    ALLOWED_TAGS: ['a', 'abbr', 'b', 'blockquote', 'br', 'cite', 'code', 'del', 'div', 'em',
                   'i', 'ins', 'li', 'mark', 'ol', 'p', 'q', 's', 'small', 'span', 'strong',
                   'sub', 'sup', 'u', 'ul'],
    ALLOWED_ATTR: ['href', 'title'],
    ALLOWED_URI_REGEXP: /^(?:https?:|mailto:)/i,
    ALLOW_DATA_ATTR: false,
    ALLOW_ARIA_ATTR: false,
    RETURN_DOM_FRAGMENT: true
  };

  var TEXT = {
    panel: 'Поездки клуба',
    searchLabel: 'Найти поездку по коду, словам названия, году или месяцу',
    searchHint: 'Код, слова названия, год, месяц',
    layers: 'Карта',
    legendHead: ['Класс', 'Поездок', 'Длина'],
    overlays: 'Другие линии',
    choose: 'Здесь проходят несколько линий:',
    more: 'Показать ещё',
    close: 'Закрыть',
    nothingFound: 'Ничего не найдено',
    found: function (total) { return 'Найдено: ' + total; },
    foundSome: function (shown, total) { return 'Показаны ' + shown + ' из ' + total; },
    noSuchTrip: function (id) { return 'Поездки «' + id + '» на карте нет.'; },
    // Thousands apart by a narrow space, as Russian writes them ("12 345 км").
    km: function (km) {
      return String(Math.round(km)).replace(/\B(?=(\d{3})+$)/g, '\u202f') + '\u00a0км';
    }
  };

  // ---- The page's data --------------------------------------------------------------------
  //
  // The JSON of the data block (the script element "omvo-data"), written by the tool
  // (src/web/web_page.hpp):
  //   tiles    the address pattern of the base map's tiles
  //   layers   [{bit, name, document}]: the three maps, one document each
  //   classes  [{id, name, color, alpha, width}]: the six trip classes, as the documents
  //            style them and the legend names them
  //   items    the overlays, then the trips, in the documents' order:
  //     id  the trip id (trips)          n  the overlay's name (overlays)
  //     k   the index of the class in classes; -1: an overlay of no class's style
  //     m   the layers it is drawn in, as a sum of their bits
  //     t   [first day, last day] as yyyymmdd, when the trip's dates line reads as dates
  //     d   the description in pieces: even ones its own text, odd ones the heading's parts
  //     h   the heading, when the description does not hold it
  //     s   the segments: [lat, lon, dlat, dlon, ...] in hundred-thousandths of a degree,
  //         each point after the first as its difference from the one before
  //
  // readData() turns it into the model below; nothing changes the model afterwards.

  function readData(element) {
    var raw = JSON.parse(element.textContent);
    var crs = L.CRS.EPSG3857;
    var affine = transformationAtScale1(crs);
    var model = {
      tiles: raw.tiles,
      layers: raw.layers,
      classes: raw.classes,
      items: [],
      trips: new Map(),       // id -> item
      tripsByLower: new Map() // lower-case id -> the first item of it
    };
    raw.items.forEach(function (entry, index) {
      var item = {
        index: index,
        isTrip: entry.id !== undefined,
        name: entry.id !== undefined ? String(entry.id) : String(entry.n),
        classIndex: entry.k >= 0 && entry.k < raw.classes.length ? entry.k : -1,
        layers: entry.m,
        heading: entry.h !== undefined ? entry.h : oddPieces(entry.d),
        description: entry.d.join(''),
        dates: entry.t,
        km: 0,
        pointCount: 0,
        segmentCount: entry.s.length,
        bounds: L.latLngBounds([]),
        anchor: null,          // where its popup opens when it is chosen from the panel
        track: null            // what TrackLine draws
      };
      item.style = item.classIndex >= 0 ? raw.classes[item.classIndex] : OTHER_STYLE;
      decodeSegments(item, entry.s, crs, affine);
      if (item.isTrip) {
        item.searchName = normalize(item.name);
        item.searchHeading = normalize(item.heading);
        item.searchYears = yearsOf(item.dates);
        item.searchMonths = monthsOf(item.dates);
        if (!model.trips.has(item.name)) model.trips.set(item.name, item);
        var lower = item.name.toLowerCase();
        if (!model.tripsByLower.has(lower)) model.tripsByLower.set(lower, item);
      }
      model.items.push(item);
    });
    return model;
  }

  // The segments as Leaflet's projection places them at scale 1 (x and y from 0 to 1), each
  // segment's end in `ends`; also the item's length, bounds and anchor.
  function decodeSegments(item, segments, crs, affine) {
    var count = 0;
    segments.forEach(function (flat) { count += flat.length; });
    var xy = new Float64Array(count);
    var ends = [];
    var box = [Infinity, Infinity, -Infinity, -Infinity];
    var south = Infinity, west = Infinity, north = -Infinity, east = -Infinity;
    var latlng = { lat: 0, lng: 0 };  // reused: the projection reads nothing else of it
    var at = 0;
    segments.forEach(function (flat) {
      var lat = 0, lon = 0;
      for (var i = 0; i + 1 < flat.length; i += 2) {
        lat += flat[i];
        lon += flat[i + 1];
        var prevLat = latlng.lat, prevLon = latlng.lng;
        latlng.lat = lat / UNITS_PER_DEGREE;
        latlng.lng = lon / UNITS_PER_DEGREE;
        var p = crs.projection.project(latlng);
        var x = affine.ax * p.x + affine.bx, y = affine.ay * p.y + affine.by;
        xy[at] = x;
        xy[at + 1] = y;
        at += 2;
        if (x < box[0]) box[0] = x;
        if (y < box[1]) box[1] = y;
        if (x > box[2]) box[2] = x;
        if (y > box[3]) box[3] = y;
        if (latlng.lat < south) south = latlng.lat;
        if (latlng.lat > north) north = latlng.lat;
        if (latlng.lng < west) west = latlng.lng;
        if (latlng.lng > east) east = latlng.lng;
        if (i > 0) item.km += distanceKm(prevLat, prevLon, latlng.lat, latlng.lng);
      }
      ends.push(at);
      if (!item.anchor && flat.length >= 2) {
        item.anchor = pointOf(xy, (at - flat.length) + 2 * Math.floor(flat.length / 4), crs);
      }
    });
    if (at > 0) item.bounds = L.latLngBounds([south, west], [north, east]);
    item.pointCount = at / 2;
    item.track = { xy: xy, ends: ends, box: box };
  }

  // ---- The view state ---------------------------------------------------------------------
  //
  // What the member has chosen; the drawing, the legend and the panel follow it.

  var state = {
    layer: 1,                     // the bit of the map shown
    hiddenClasses: new Set(),     // class indexes whose trips are hidden
    hiddenOverlays: new Set(),    // item indexes of hidden overlays
    selected: null,               // {item, popup, copy, returnFocus} while a popup is open
    chooser: null,                // the popup listing the lines under a point
    results: [],                  // the items the search finds
    resultsShown: 0,
    viewBeforePrint: null         // {center, zoom} while printing
  };

  // ---- Drawing ----------------------------------------------------------------------------
  //
  // One item's line on Leaflet's canvas renderer, which draws, hit-tests and animates it. It
  // keeps its points projected once (at scale 1) and, at each zoom, scales and simplifies
  // (as L.Polyline does) only the lines in view, when they are drawn or hit-tested; where
  // L.Polyline projects every point of every line again as an object at each zoom, which at
  // 10 000 trips makes a zoom step slow.

  var TrackLine = L.Path.extend({
    options: {
      smoothFactor: 1   // pixels, as L.Polyline's
    },

    initialize: function (item, options) {
      L.setOptions(this, options);
      this.item = item;
    },

    getBounds: function () {
      return this.item.bounds;
    },

    _project: function () {
      var map = this._map;
      this._scale = map.options.crs.scale(map.getZoom());
      this._origin = map.getPixelOrigin();
      this._parts = null;  // made again when needed
      this._updateBounds();
    },

    _updateBounds: function () {
      var box = this.item.track.box, s = this._scale, o = this._origin;
      var w = this._clickTolerance();
      this._pxBounds = L.bounds([box[0] * s - o.x - w, box[1] * s - o.y - w],
                                [box[2] * s - o.x + w, box[3] * s - o.y + w]);
    },

    _update: function () {
      if (this._map) this._updatePath();
    },

    // The segments as simplified layer points, as L.Polyline keeps them in _parts.
    _makeParts: function () {
      if (this._parts) return this._parts;
      var track = this.item.track, xy = track.xy;
      var s = this._scale, ox = this._origin.x, oy = this._origin.y;
      var smooth = this.options.smoothFactor;
      var start = 0;
      this._parts = track.ends.map(function (end) {
        var points = [];
        for (var i = start; i < end; i += 2) {
          points.push(L.point(xy[i] * s - ox, xy[i + 1] * s - oy));
        }
        start = end;
        return L.LineUtil.simplify(points, smooth);
      });
      return this._parts;
    },

    _updatePath: function () {
      var renderer = this._renderer;
      if (!renderer._drawing || !this._pxBounds.intersects(renderer._bounds)) return;
      this._makeParts();
      renderer._updatePoly(this);
    },

    _containsPoint: function (p) {
      if (!this._pxBounds || !this._pxBounds.contains(p)) return false;
      this._makeParts();
      return L.Polyline.prototype._containsPoint.call(this, p);
    }
  });

  // A line in its class's (or overlay's) colour, opacity and width; the chosen one opaque and
  // wider. Corners are bevelled and ends cut square: on a line 6 px wide it hardly shows,
  // and at 10 000 trips round ones cost a tenth more time each zoom step (bench/README.md).
  function lineOptions(item, renderer, extraWidth) {
    var style = item.style;
    return {
      renderer: renderer,
      color: style.color,
      opacity: extraWidth ? 1 : style.alpha / 255,
      weight: Number(style.width) + (extraWidth || 0),
      lineJoin: 'bevel',
      lineCap: 'butt',
      interactive: !extraWidth
    };
  }

  // ---- Builders ---------------------------------------------------------------------------

  // The page's boxes: the map and the panel beside it.
  function buildLayout() {
    var page = L.DomUtil.create('div', 'omvo-page', document.body);
    var mapBox = L.DomUtil.create('div', 'omvo-map', page);
    mapBox.id = 'map';
    var panel = L.DomUtil.create('aside', 'omvo-panel omvo-folded', page);
    panel.setAttribute('aria-label', TEXT.panel);
    return { page: page, mapBox: mapBox, panel: panel };
  }

  function buildMap(mapBox) {
    var coarse = window.matchMedia(COARSE).matches;
    var map = L.map(mapBox, {
      zoomSnap: 0.25,
      worldCopyJump: true,
      renderer: L.canvas({ tolerance: coarse ? TOLERANCE_PX.coarse : TOLERANCE_PX.fine })
    });
    L.tileLayer(model.tiles, {
      maxZoom: 19,
      attribution: '&copy; <a href="https://www.openstreetmap.org/copyright">' +
                   'Участники OpenStreetMap</a>'
    }).addTo(map);
    // The chosen line is drawn again in a pane above the others, which fade meanwhile
    // (page.css); the pane lets the clicks through to the lines below.
    var pane = map.createPane('omvo-chosen');
    pane.style.pointerEvents = 'none';
    return map;
  }

  // The panel: a heading (on a phone the button that folds it), the search, a message line,
  // the switch of maps and the legend.
  function buildPanel(panel) {
    var parts = {};
    parts.title = L.DomUtil.create('h1', 'omvo-title', panel);
    parts.title.textContent = TEXT.panel;
    parts.fold = L.DomUtil.create('button', 'omvo-fold', panel);
    parts.fold.type = 'button';
    parts.fold.textContent = TEXT.panel;
    parts.fold.setAttribute('aria-expanded', 'false');
    parts.fold.setAttribute('aria-controls', 'omvo-panel-body');
    parts.fold.addEventListener('click', function () {
      setFolded(!panel.classList.contains('omvo-folded'));
    });
    var body = L.DomUtil.create('div', 'omvo-panel-body', panel);
    body.id = 'omvo-panel-body';
    buildSearch(body, parts);
    parts.message = L.DomUtil.create('p', 'omvo-message', body);
    parts.message.setAttribute('role', 'status');
    buildLayerSwitch(body, parts);
    buildLegend(body, parts);
    return parts;
  }

  function buildSearch(body, parts) {
    var box = L.DomUtil.create('div', 'omvo-search', body);
    box.setAttribute('role', 'search');
    var input = parts.searchInput = L.DomUtil.create('input', '', box);
    input.type = 'search';
    input.placeholder = TEXT.searchHint;
    input.setAttribute('aria-label', TEXT.searchLabel);
    input.setAttribute('aria-controls', 'omvo-results');
    input.autocomplete = 'off';
    parts.count = L.DomUtil.create('p', 'omvo-count', box);
    parts.count.setAttribute('role', 'status');
    parts.results = L.DomUtil.create('ul', 'omvo-results', box);
    parts.results.id = 'omvo-results';
    parts.more = L.DomUtil.create('button', 'omvo-more', box);
    parts.more.type = 'button';
    parts.more.textContent = TEXT.more;
    parts.more.hidden = true;

    input.addEventListener('input', function () { showResults(findTrips(input.value)); });
    input.addEventListener('keydown', function (event) {
      if (event.key === 'Enter') {
        event.preventDefault();
        var found = findTrips(input.value);
        showResults(found);
        if (found.length) chooseResult(found[0], input);
      } else if (event.key === 'ArrowDown' && parts.results.firstChild) {
        event.preventDefault();
        parts.results.firstChild.firstChild.focus();
      }
    });
    parts.results.addEventListener('keydown', function (event) {
      var row = event.target.parentNode;
      var next = event.key === 'ArrowDown' ? row.nextSibling
               : event.key === 'ArrowUp' ? row.previousSibling : undefined;
      if (next === undefined) return;
      event.preventDefault();
      if (next) {
        next.firstChild.focus();
      } else if (event.key === 'ArrowUp') {
        input.focus();
      } else if (!parts.more.hidden) {
        parts.more.focus();
      }
    });
    parts.more.addEventListener('click', function () {
      var first = state.resultsShown;
      appendResults(RESULTS_PAGE);
      var row = parts.results.childNodes[first];
      if (row) row.firstChild.focus();
    });
  }

  function buildLayerSwitch(body, parts) {
    var set = L.DomUtil.create('fieldset', 'omvo-layers', body);
    L.DomUtil.create('legend', '', set).textContent = TEXT.layers;
    parts.layerRadios = model.layers.map(function (layer) {
      var label = L.DomUtil.create('label', '', set);
      var radio = L.DomUtil.create('input', '', label);
      radio.type = 'radio';
      radio.name = 'omvo-layer';
      radio.value = String(layer.bit);
      radio.addEventListener('change', function () {
        if (radio.checked) setLayer(layer.bit, true);
      });
      L.DomUtil.create('span', '', label).textContent =
          layer.name + ' (' + layerTotals(layer.bit).trips + ')';
      return radio;
    });
  }

  // The legend: a row for each class, then one for each overlay, each with its colour, a
  // check box that hides exactly its lines, and its trips and kilometres in the map shown.
  function buildLegend(body, parts) {
    var table = L.DomUtil.create('table', 'omvo-legend', body);
    var head = L.DomUtil.create('tr', '', L.DomUtil.create('thead', '', table));
    TEXT.legendHead.forEach(function (text) {
      L.DomUtil.create('th', '', head).textContent = text;
    });
    var rows = L.DomUtil.create('tbody', '', table);
    parts.legendRows = [];
    model.classes.forEach(function (style, classIndex) {
      parts.legendRows.push(buildLegendRow(rows, {
        key: 'omvo-class-' + style.id, style: style, name: style.name,
        dataName: 'style', dataValue: style.id,
        hidden: function () { return state.hiddenClasses.has(classIndex); },
        toggle: function (hide) { toggleSet(state.hiddenClasses, classIndex, hide); },
        totals: function (totals) { return totals.classes[classIndex]; }
      }));
    });
    var overlays = model.items.filter(function (item) { return !item.isTrip; });
    if (overlays.length) {
      var groupRow = L.DomUtil.create('tr', 'omvo-legend-group', rows);
      var groupCell = L.DomUtil.create('th', '', groupRow);
      groupCell.colSpan = 3;
      groupCell.scope = 'rowgroup';
      groupCell.textContent = TEXT.overlays;
    }
    overlays.forEach(function (item) {
      parts.legendRows.push(buildLegendRow(rows, {
        key: 'omvo-overlay-' + item.index, style: item.style, name: item.name,
        dataName: 'overlay', dataValue: String(item.index),
        hidden: function () { return state.hiddenOverlays.has(item.index); },
        toggle: function (hide) { toggleSet(state.hiddenOverlays, item.index, hide); },
        totals: function (totals) { return totals.overlays[item.index]; }
      }));
    });
  }

  function buildLegendRow(rows, spec) {
    var row = L.DomUtil.create('tr', '', rows);
    row.setAttribute('data-' + spec.dataName, spec.dataValue);
    var nameCell = L.DomUtil.create('td', 'omvo-name', row);
    var label = L.DomUtil.create('label', '', nameCell);
    var toggle = L.DomUtil.create('input', '', label);
    toggle.type = 'checkbox';
    toggle.id = spec.key;
    toggle.checked = true;
    toggle.addEventListener('change', function () {
      spec.toggle(!toggle.checked);
      redraw();
    });
    label.appendChild(swatchOf(spec.style));
    L.DomUtil.create('span', 'omvo-label', label).textContent = spec.name;
    var trips = L.DomUtil.create('td', 'omvo-trips', row);
    var km = L.DomUtil.create('td', 'omvo-km', row);
    return {
      update: function (totals) {
        var total = spec.totals(totals);
        trips.textContent = total.trips === undefined ? '' : String(total.trips);
        km.textContent = TEXT.km(total.km);
        toggle.checked = !spec.hidden();
      }
    };
  }

  function swatchOf(style) {
    var swatch = L.DomUtil.create('span', 'omvo-swatch');
    swatch.style.backgroundColor = style.color;
    swatch.style.opacity = String(style.alpha / 255);
    swatch.style.height = style.width + 'px';
    swatch.setAttribute('aria-hidden', 'true');
    return swatch;
  }

  // A popup's content: the item's name and its sanitized description, in a box whose content
  // cannot reach outside it.
  function buildPopupContent(item) {
    var box = L.DomUtil.create('div', 'omvo-popup');
    box.tabIndex = -1;
    box.appendChild(document.createElement('h2')).textContent = item.name;
    var body = L.DomUtil.create('div', 'omvo-description', box);
    body.appendChild(DOMPurify.sanitize(item.description, SANITIZER));
    return box;
  }

  // The list of the items under a point: a button each, with its class colour.
  function buildChooserContent(items, latlng) {
    var box = L.DomUtil.create('div', 'omvo-chooser');
    L.DomUtil.create('p', '', box).textContent = TEXT.choose;
    var list = L.DomUtil.create('ul', '', box);
    items.forEach(function (item) {
      var button = L.DomUtil.create('button', '', L.DomUtil.create('li', '', list));
      button.type = 'button';
      button.appendChild(swatchOf(item.style));
      L.DomUtil.create('span', 'omvo-label', button).textContent = labelOf(item);
      button.addEventListener('click', function () {
        selectItem(item, latlng, { focus: true });
      });
    });
    return box;
  }

  // ---- Public functions -------------------------------------------------------------------

  // Shows the trip of the id (exact, else in any case): switches to a map that has it, shows
  // its class, fits the view to it and opens its popup. An unknown id closes the popup and
  // says so in the panel; returns whether the trip was found.
  function showTrip(id, options) {
    var item = model.trips.get(id) || model.tripsByLower.get(id.toLowerCase());
    if (!item || !item.anchor) {
      closeSelection();
      say(TEXT.noSuchTrip(id));
      setFolded(false);
      return false;
    }
    say('');
    reveal(item);
    if (isNarrow()) setFolded(true);
    map.fitBounds(item.bounds, L.extend({ maxZoom: TRIP_MAX_ZOOM, animate: false },
                                        controlPadding()));
    selectItem(item, item.anchor, options || {});
    return true;
  }

  // Highlights the item (drawn above the others, wider, the others dimmed) and opens its
  // popup at the point, until the popup closes; puts a trip's id in the address.
  function selectItem(item, latlng, options) {
    closeChooser();
    var returnFocus = document.activeElement;
    closeSelection();
    var popup = L.popup(popupOptions('omvo-popup-box'));
    popup.setLatLng(latlng).setContent(buildPopupContent(item));
    var copy = new TrackLine(item, lineOptions(item, chosenRenderer, HIGHLIGHT_EXTRA_WIDTH));
    state.selected = { item: item, popup: popup, copy: copy, returnFocus: returnFocus };
    popup.on('remove', function () {
      if (state.selected && state.selected.popup === popup) clearSelection();
    });
    copy.addTo(map);
    L.DomUtil.addClass(map.getContainer(), 'omvo-dimmed');
    popup.openOn(map);
    var close = popup.getElement().querySelector('.leaflet-popup-close-button');
    if (close) close.setAttribute('aria-label', TEXT.close);
    if (item.isTrip) setAddress(item.name);
    if (options.focus) {
      popup.getElement().querySelector('.omvo-popup').focus({ preventScroll: true });
    }
  }

  function closeSelection() {
    if (state.selected) map.closePopup(state.selected.popup);
  }

  // Switches to the map of the bit; fits the view to it when asked.
  function setLayer(bit, fit) {
    state.layer = bit;
    panelParts.layerRadios.forEach(function (radio) {
      radio.checked = Number(radio.value) === bit;
    });
    redraw();
    if (fit) fitShown();
  }

  // ---- Private helpers --------------------------------------------------------------------

  function oddPieces(pieces) {
    return pieces.filter(function (piece, i) { return i % 2 === 1; }).join('');
  }

  // The CRS's transformation at scale 1 as x' = ax x + bx, y' = ay y + by (it is one), so
  // that decoding a point makes no objects but its projection.
  function transformationAtScale1(crs) {
    var zero = crs.transformation.transform(L.point(0, 0), 1);
    var one = crs.transformation.transform(L.point(1, 1), 1);
    return { ax: one.x - zero.x, bx: zero.x, ay: one.y - zero.y, by: zero.y };
  }

  function pointOf(xy, at, crs) {
    var p = L.point(xy[at], xy[at + 1]);
    return crs.projection.unproject(crs.transformation.untransform(p, 1));
  }

  // The distance on the sphere between the two ends of a leg of a track, measured in the plane
  // through their middle latitude: one cosine a leg, and within 2 m of the great circle for a
  // leg of 100 km.
  function distanceKm(lat1, lon1, lat2, lon2) {
    var rad = Math.PI / 180;
    var dLat = (lat2 - lat1) * rad;
    var dLon = (lon2 - lon1) * rad * Math.cos((lat1 + lat2) / 2 * rad);
    return EARTH_RADIUS_KM * Math.sqrt(dLat * dLat + dLon * dLon);
  }

  function normalize(text) {
    return text.toLowerCase().replace(/ё/g, 'е');
  }

  function yearsOf(dates) {
    if (!dates) return [];
    var years = [];
    for (var year = Math.floor(dates[0] / 10000); year <= Math.floor(dates[1] / 10000) &&
         years.length < 100; ++year) {
      years.push(String(year));
    }
    return years;
  }

  // The months (0 to 11) a trip's days fall in, as bits.
  function monthsOf(dates) {
    if (!dates) return 0;
    var first = Math.floor(dates[0] / 10000) * 12 + Math.floor(dates[0] / 100) % 100 - 1;
    var last = Math.floor(dates[1] / 10000) * 12 + Math.floor(dates[1] / 100) % 100 - 1;
    if (last - first >= 11) return 0xFFF;
    var bits = 0;
    for (var month = first; month <= last; ++month) bits |= 1 << (month % 12);
    return bits;
  }

  // The trips whose id starts with the query first, then those each of whose words the trip
  // matches: the start of its id, a part of its heading, a year or a month of its dates.
  function findTrips(query) {
    var q = normalize(query.trim());
    if (!q) return [];
    var words = q.split(/\s+/).map(function (word) {
      var month = -1;
      MONTH_FORMS.forEach(function (form, m) { if (form.test(word)) month = m; });
      return { text: word, year: /^\d{4}$/.test(word), month: month };
    });
    var byId = [], byWords = [];
    model.items.forEach(function (item) {
      if (!item.isTrip) return;
      if (item.searchName.indexOf(q) === 0) {
        byId.push(item);
      } else if (words.every(function (word) { return matches(item, word); })) {
        byWords.push(item);
      }
    });
    return byId.concat(byWords);
  }

  function matches(item, word) {
    return item.searchName.indexOf(word.text) === 0 ||
           item.searchHeading.indexOf(word.text) >= 0 ||
           (word.year && item.searchYears.indexOf(word.text) >= 0) ||
           (word.month >= 0 && (item.searchMonths & (1 << word.month)) !== 0);
  }

  function showResults(found) {
    state.results = found;
    state.resultsShown = 0;
    panelParts.results.textContent = '';
    appendResults(RESULTS_PAGE);
  }

  function appendResults(count) {
    var found = state.results;
    var end = Math.min(found.length, state.resultsShown + count);
    for (var i = state.resultsShown; i < end; ++i) {
      panelParts.results.appendChild(resultRow(found[i]));
    }
    state.resultsShown = end;
    var query = panelParts.searchInput.value.trim();
    panelParts.count.textContent = !query ? ''
        : !found.length ? TEXT.nothingFound
        : end < found.length ? TEXT.foundSome(end, found.length) : TEXT.found(found.length);
    panelParts.more.hidden = end >= found.length;
  }

  function resultRow(item) {
    var row = L.DomUtil.create('li');
    var button = L.DomUtil.create('button', '', row);
    button.type = 'button';
    button.appendChild(swatchOf(item.style));
    L.DomUtil.create('span', 'omvo-label', button).textContent = labelOf(item);
    button.addEventListener('click', function () { chooseResult(item, button); });
    return row;
  }

  function labelOf(item) {
    return item.isTrip ? item.name + ' — ' + item.heading : item.name;
  }

  // A result chosen: the trip shown, its popup next in the Tab order.
  function chooseResult(item, from) {
    showTrip(item.name, { focus: true });
    if (state.selected) state.selected.returnFocus = from;
  }

  // Makes the item drawn: its map shown and its class or overlay not hidden.
  function reveal(item) {
    if ((item.layers & state.layer) === 0) setLayer(model.layers[0].bit, false);
    if (item.isTrip) {
      toggleSet(state.hiddenClasses, item.classIndex, false);
    } else {
      toggleSet(state.hiddenOverlays, item.index, false);
    }
    redraw();
  }

  function toggleSet(set, value, add) {
    if (add) {
      set.add(value);
    } else {
      set.delete(value);
    }
  }

  function shown(item) {
    if ((item.layers & state.layer) === 0) return false;
    return item.isTrip ? !state.hiddenClasses.has(item.classIndex)
                       : !state.hiddenOverlays.has(item.index);
  }

  // Adds and removes lines to match the state, and updates the legend.
  function redraw() {
    lines.forEach(function (line) {
      var show = shown(line.item);
      if (show && !drawn.hasLayer(line)) drawn.addLayer(line);
      if (!show && drawn.hasLayer(line)) drawn.removeLayer(line);
    });
    var totals = layerTotals(state.layer);
    panelParts.legendRows.forEach(function (row) { row.update(totals); });
  }

  // The trips and kilometres of each class, and the kilometres of each overlay, in a map.
  function layerTotals(bit) {
    if (totalsCache.has(bit)) return totalsCache.get(bit);
    var totals = {
      trips: 0,
      classes: model.classes.map(function () { return { trips: 0, km: 0 }; }),
      overlays: {}
    };
    model.items.forEach(function (item) {
      if ((item.layers & bit) === 0) return;
      if (item.isTrip) {
        totals.trips += 1;
        totals.classes[item.classIndex].trips += 1;
        totals.classes[item.classIndex].km += item.km;
      } else {
        totals.overlays[item.index] = { km: item.km };
      }
    });
    model.items.forEach(function (item) {
      if (!item.isTrip && !totals.overlays[item.index]) totals.overlays[item.index] = { km: 0 };
    });
    totalsCache.set(bit, totals);
    return totals;
  }

  // The items whose lines pass within the click tolerance of the container point, the last
  // in the data first.
  function itemsAt(containerPoint) {
    var point = map.containerPointToLayerPoint(containerPoint);
    var found = [];
    for (var i = lines.length - 1; i >= 0; --i) {
      var line = lines[i];
      if (drawn.hasLayer(line) && line._containsPoint(point)) found.push(line.item);
    }
    return found;
  }

  function onLineClick(event) {
    var items = itemsAt(event.containerPoint);
    if (items.length === 1) {
      selectItem(items[0], event.latlng, {});
    } else if (items.length > 1) {
      openChooser(items, event.latlng);
    }
  }

  function openChooser(items, latlng) {
    closeSelection();
    state.chooser = L.popup(popupOptions('omvo-chooser-box'))
        .setLatLng(latlng).setContent(buildChooserContent(items, latlng)).openOn(map);
    var close = state.chooser.getElement().querySelector('.leaflet-popup-close-button');
    if (close) close.setAttribute('aria-label', TEXT.close);
  }

  function closeChooser() {
    if (state.chooser) map.closePopup(state.chooser);
    state.chooser = null;
  }

  function clearSelection() {
    var selected = state.selected;
    state.selected = null;
    map.removeLayer(selected.copy);
    L.DomUtil.removeClass(map.getContainer(), 'omvo-dimmed');
    if (selected.item.isTrip && idFromAddress() === selected.item.name) setAddress(null);
    // The focus goes back where the popup was opened from, or on a phone, where the panel
    // folded it away, to the panel's bar.
    var focus = document.activeElement;
    var target = selected.returnFocus;
    if (target && !target.offsetParent) target = panelParts.fold;
    if ((!focus || focus === document.body || selected.popup.getElement().contains(focus)) &&
        target && target.offsetParent) {
      target.focus({ preventScroll: true });
    }
  }

  // Puts #<trip id> in the address, or no fragment for null, without a history entry.
  function setAddress(id) {
    var address = window.location.href.replace(/#.*$/, '');
    window.history.replaceState(null, '', id === null ? address : address + '#' +
                                                          encodeURIComponent(id));
  }

  function idFromAddress() {
    var hash = window.location.hash.replace(/^#/, '');
    try {
      return decodeURIComponent(hash);
    } catch (e) {
      return hash;
    }
  }

  function showAddressedTrip() {
    var id = idFromAddress();
    if (id) {
      showTrip(id, {});
    } else {
      closeSelection();
    }
  }

  function say(text) {
    panelParts.message.textContent = text;
  }

  function isNarrow() {
    return window.matchMedia(NARROW).matches;
  }

  // Folds the panel away (on a phone only it shows folded) and lets the map take the room.
  function setFolded(folded) {
    panel.classList.toggle('omvo-folded', folded);
    panelParts.fold.setAttribute('aria-expanded', String(!folded));
    map.invalidateSize({ pan: false });
  }

  // A popup that fits between the map's controls: Leaflet pans the map to show it there.
  function popupOptions(className) {
    var size = map.getSize();
    var padding = controlPadding();
    var topLeft = padding.paddingTopLeft, bottomRight = padding.paddingBottomRight;
    // The content's margins and the popup's tip, as Leaflet's and the page's style sheets
    // set them.
    var margins = isNarrow() ? POPUP_MARGINS_PX.narrow : POPUP_MARGINS_PX.wide;
    return {
      className: className,
      maxWidth: Math.max(120, Math.min(360, size.x - topLeft[0] - bottomRight[0] - margins[0])),
      minWidth: 120,
      maxHeight: Math.max(100, size.y - topLeft[1] - bottomRight[1] - margins[1]),
      autoPanPaddingTopLeft: topLeft,
      autoPanPaddingBottomRight: bottomRight
    };
  }

  // The padding that keeps a view or a popup clear of the map's controls.
  function controlPadding() {
    var box = map.getContainer().getBoundingClientRect();
    var left = CONTROL_MARGIN_PX, top = CONTROL_MARGIN_PX, bottom = CONTROL_MARGIN_PX;
    var zoom = map.zoomControl && map.zoomControl.getContainer();
    if (zoom) {
      left = Math.max(left, zoom.getBoundingClientRect().right - box.left + CONTROL_MARGIN_PX);
    }
    var attribution = map.attributionControl && map.attributionControl.getContainer();
    if (attribution) {
      bottom = Math.max(bottom, box.bottom - attribution.getBoundingClientRect().top +
                                CONTROL_MARGIN_PX);
    }
    return { paddingTopLeft: [left, top], paddingBottomRight: [CONTROL_MARGIN_PX, bottom] };
  }

  function fitShown() {
    var bounds = L.latLngBounds([]);
    model.items.forEach(function (item) {
      if (shown(item) && item.bounds.isValid()) bounds.extend(item.bounds);
    });
    if (!bounds.isValid()) return false;
    map.fitBounds(bounds, { padding: [16, 16], maxZoom: 18, animate: false });
    return true;
  }

  // Escape closes the popup wherever the focus is.
  function onKeyDown(event) {
    if (event.key !== 'Escape' || (!state.selected && !state.chooser)) return;
    closeChooser();
    closeSelection();
  }

  // A printed page draws all the lines shown at the paper's size; afterwards the view is
  // the member's again.
  function onPrintChange() {
    var printing = printMedia.matches;
    if (printing === (state.viewBeforePrint !== null)) return;
    map.invalidateSize({ pan: false });
    if (printing) {
      state.viewBeforePrint = { center: map.getCenter(), zoom: map.getZoom() };
      fitShown();
    } else {
      map.setView(state.viewBeforePrint.center, state.viewBeforePrint.zoom, { animate: false });
      state.viewBeforePrint = null;
    }
  }

  // ---- Start ------------------------------------------------------------------------------

  var model = readData(document.getElementById('omvo-data'));
  var totalsCache = new Map();

  // Every link of a description opens in a new tab, away from the map, and tells nothing.
  DOMPurify.addHook('afterSanitizeAttributes', function (node) {
    if (node.nodeName === 'A' && node.hasAttribute('href')) {
      node.setAttribute('target', '_blank');
      node.setAttribute('rel', 'noopener noreferrer');
    }
  });

  var layout = buildLayout();
  var panel = layout.panel;
  var map = buildMap(layout.mapBox);
  var chosenRenderer = L.canvas({ pane: 'omvo-chosen' });
  var drawn = L.featureGroup().addTo(map);
  var lines = model.items.map(function (item) {
    return new TrackLine(item, lineOptions(item, map.options.renderer));
  });
  drawn.on('click', onLineClick);
  var panelParts = buildPanel(panel);

  document.addEventListener('keydown', onKeyDown);
  window.addEventListener('hashchange', showAddressedTrip);
  var printMedia = window.matchMedia('print');
  printMedia.addEventListener('change', onPrintChange);
  window.addEventListener('beforeprint', onPrintChange);
  window.addEventListener('afterprint', onPrintChange);
  new ResizeObserver(function () { map.invalidateSize({ pan: false }); })
      .observe(layout.mapBox);

  // For the browser's console and the tests.
  window.omvoMap = map;
  window.omvoPage = {
    map: map,
    model: model,
    state: state,
    drawnItems: function () { return lines.filter(function (l) { return drawn.hasLayer(l); })
                                          .map(function (l) { return l.item; }); },
    itemsAt: itemsAt,
    showTrip: showTrip
  };

  // The view first, then the lines: they are drawn once, in the next frame.
  if (!fitShown()) map.setView([0, 0], 2);
  setLayer(model.layers[0].bit, false);
  if (window.location.hash.length > 1) showAddressedTrip();
})();
