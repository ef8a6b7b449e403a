// The club's map: the trips and overlays of the page's data on three maps (all trips, the
// home region, the far trips: one document each), drawn on one canvas, in the classes'
// colours or all in one colour where the club rides most; a panel beside the map (below it
// on a phone) with a search, a year filter, the list of the trips shown (sortable), the
// switch of maps, a legend that hides a class or an overlay, and the club's year in figures;
// a click on the map offers the lines under it and opens the chosen one's card: its figures,
// its elevation profile and its sanitized description; #<trip id> addresses show a trip.
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
  var ROW_PX = { wide: 32, narrow: 44 };  // a row of the trip list; a finger's target on a phone
  var LIST_OVERSCAN = 6;               // rows of the list made beyond those in view
  var UNITS_PER_DEGREE = 1e5;          // of the data's coordinates
  var EARTH_RADIUS_KM = 6371.0088;
  var CONTROL_MARGIN_PX = 10;
  var POPUP_MARGINS_PX = { wide: [48, 60], narrow: [68, 60] };  // width, height
  // Where the club rides most: every trip in one colour, faint, so that the roads many trips
  // share build up (each stroke covers the ones below by its opacity). The opacity is the
  // smaller the more trips are drawn, within these bounds.
  var DENSITY = { color: '#7a0bc0', alphaScale: 1.5, minAlpha: 0.05, maxAlpha: 0.5 };
  // The elevation profile's chart in SVG user units: its size and the margins of the plot.
  var PROFILE = { width: 300, height: 96, left: 34, right: 6, top: 8, bottom: 16, levels: 63,
                  digits: '0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz+/',
                  gap: '|' };
  var SVG_NS = 'http://www.w3.org/2000/svg';

  // The list's columns, each a sort order: the value of a trip (null: the trip goes last, in
  // either direction), how two trips compare by it, and the direction it starts in.
  var COLLATOR = new Intl.Collator('ru', { numeric: true });
  var COLUMNS = [
    { key: 'date', name: 'Дата', descending: true,
      value: function (item) { return item.dates ? item.dates[0] : null; },
      compare: function (a, b) { return a.dates[0] - b.dates[0]; } },
    { key: 'class', name: 'Класс', descending: false,
      value: function (item) { return item.classIndex; },
      compare: function (a, b) { return a.classIndex - b.classIndex; } },
    { key: 'name', name: 'Название', descending: false,
      value: function (item) { return item.listName; },
      compare: function (a, b) { return COLLATOR.compare(a.listName, b.listName); } },
    { key: 'km', name: 'Км', descending: true,
      value: function (item) { return item.lengthKm; },
      compare: function (a, b) { return a.lengthKm - b.lengthKm; } }
  ];

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
    density: 'Где клуб ездит чаще всего',
    densityNote: 'Все поездки одним цветом: чем больше поездок прошло по дороге, тем гуще ' +
                 'её цвет.',
    years: 'Годы',
    yearsFrom: 'с',
    yearsTo: 'по',
    undated: 'без даты',
    list: 'Список поездок',
    legendHead: ['Класс', 'Поездок', 'Длина'],
    overlays: 'Другие линии',
    yearTable: 'Год клуба в цифрах',
    yearTableHead: ['Год и класс', 'Поездок', 'Длина'],
    total: 'Всего',
    choose: 'Здесь проходят несколько линий:',
    close: 'Закрыть',
    nothingFound: 'Ничего не найдено',
    noSuchTrip: function (id) { return 'Поездки «' + id + '» на карте нет.'; },
    figures: {
      length: 'Длина', climb: 'Подъём', descent: 'Спуск', moving: 'В движении',
      total: 'В пути', days: 'Дней', segments: 'Участков'
    },
    profile: function (low, high, km) {
      return 'Профиль высот: от ' + low + ' до ' + high + ' м на ' + km;
    },
    // Thousands apart by a narrow space, as Russian writes them ("12 345 км").
    number: function (n) { return String(n).replace(/\B(?=(\d{3})+$)/g, '\u202f'); },
    km: function (km) { return TEXT.number(Math.round(km)) + '\u00a0км'; },
    // Tenths of a kilometre: "186,6".
    kmTenths: function (km) {
      var tenths = Math.round(km * 10);
      return TEXT.number(Math.floor(tenths / 10)) + ',' + (tenths % 10);
    },
    metres: function (m) { return TEXT.number(m) + '\u00a0м'; },
    duration: function (seconds) {
      var minutes = Math.round(seconds / 60);
      var hours = Math.floor(minutes / 60);
      minutes -= hours * 60;
      return hours ? hours + '\u00a0ч ' + (minutes < 10 ? '0' : '') + minutes + '\u00a0мин'
                   : minutes + '\u00a0мин';
    },
    trips: function (n) {
      return TEXT.number(n) + ' ' + plural(n, ['поездка', 'поездки', 'поездок']);
    },
    // "312 поездок, 18 450 км"
    listCount: function (n, km) { return TEXT.trips(n) + ', ' + TEXT.km(km); },
    densitySteps: function (trips, last) { return TEXT.trips(trips) + (last ? ' и больше' : ''); }
  };

  // ---- The page's data --------------------------------------------------------------------
  //
  // The JSON of the data block (the script element "omvo-data"), written by the tool
  // (src/web/web_page.hpp):
  //   tiles    the address pattern of the base map's tiles
  //   layers   [{bit, name}]: the three maps, one document each, in the order of the switch
  //   classes  [{id, name, color, alpha, width}]: the six trip classes, as the documents
  //            style them and the legend names them
  //   items    the overlays, then the trips, in the documents' order:
  //     id  the trip id (trips)          n  the overlay's name (overlays)
  //     k   the index of the class in classes; -1: an overlay of no class's style
  //     m   the layers it is drawn in, as a sum of their bits
  //     t   [first day, last day] as yyyymmdd, when the trip's dates line reads as dates
  //     d   the description in pieces: even ones its own text, odd ones the heading's parts
  //     h   the heading, when the description does not hold it
  //     f   the trip's figures, measured by the tool on the whole track: [length in tenths of a
  //         km, climb m, descent m, moving s, total s, segments, days], null where unknown
  //     p   its elevation profile: [lowest m, highest m, places], the places one character
  //         each at equal steps of the length, first and last point included: a level from
  //         0 to 63 (PROFILE.digits) between the lowest and the highest, '.' no elevation,
  //         '|' (taking no place) a gap between segments
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
      tripsByLower: new Map(),// lower-case id -> the first item of it
      tripItems: [],          // the trips, in data order
      years: [],              // the years of the trips' first dates, ascending
      undatedCount: 0         // the trips without dates
    };
    var years = new Set();
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
        segmentCount: entry.s.length,
        figures: figuresOf(entry.f),
        profile: entry.p && entry.p.length === 3 ? { low: entry.p[0], high: entry.p[1],
                                                      places: String(entry.p[2]) } : null,
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
        item.year = item.dates ? Math.floor(item.dates[0] / 10000) : null;
        // The list names a trip by its heading without the kind's label ("Велопробег: "),
        // which its class's colour shows.
        item.listName = item.heading.replace(/^[^\s:]+:\s+(?=\S)/, '') || item.name;
        // The recorded length where the tool measured it, else the drawn one.
        item.lengthKm = item.figures && item.figures.km !== null ? item.figures.km : item.km;
        if (!model.trips.has(item.name)) model.trips.set(item.name, item);
        var lower = item.name.toLowerCase();
        if (!model.tripsByLower.has(lower)) model.tripsByLower.set(lower, item);
        model.tripItems.push(item);
        if (item.year === null) {
          model.undatedCount += 1;
        } else {
          years.add(item.year);
        }
      }
      model.items.push(item);
    });
    model.years = Array.from(years).sort(function (a, b) { return a - b; });
    return model;
  }

  function figuresOf(f) {
    if (!Array.isArray(f)) return null;
    var value = function (k, scale) {
      return typeof f[k] === 'number' && isFinite(f[k]) ? f[k] / (scale || 1) : null;
    };
    return { km: value(0, 10), climb: value(1), descent: value(2), moving: value(3),
             total: value(4), segments: value(5), days: value(6) };
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
    item.track = { xy: xy, ends: ends, box: box };
  }

  // ---- The view state ---------------------------------------------------------------------
  //
  // What the member has chosen; the drawing, the legend and the panel follow it.

  var state = {
    layer: 1,                     // the bit of the map shown
    hiddenClasses: new Set(),     // class indexes whose trips are hidden
    hiddenOverlays: new Set(),    // item indexes of hidden overlays
    years: { from: null, to: null, undated: true },  // the trips shown by their year
    density: false,               // where the club rides most, instead of the classes
    lineStyle: 'classes',         // what the lines are styled for: 'classes' or the density's
                                  // opacity
    selected: null,               // {item, popup, copy, returnFocus} while a popup is open
    chooser: null,                // the popup listing the lines under a point
    query: null,                  // the search's test of a trip, null without a search
    sort: { key: 'date', descending: true },
    listRows: [],                 // the trips the list holds, in its order
    listPlace: new Map(),         // item index -> its place in listRows
    listFocus: 0,                 // the place of the row that takes the list's Tab stop
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

  // The opacity of a trip's line where the club rides most, with `trips` trips drawn: 1.5
  // over their square root, within DENSITY's bounds. n lines on a road cover it by
  // 1 - (1 - opacity)^n: half dark with 2 of the example's 11 trips, with 14 of 2 000.
  function densityAlpha(trips) {
    return Math.max(DENSITY.minAlpha, Math.min(DENSITY.maxAlpha,
                                               DENSITY.alphaScale / Math.sqrt(trips || 1)));
  }

  // How a line is drawn in the current view: its class's style, or the density's colour.
  function lineStyleOf(item, alpha) {
    return alpha === null ? { color: item.style.color, opacity: item.style.alpha / 255 }
                          : { color: DENSITY.color, opacity: alpha };
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
  // the year filter, the trip list, the switch of maps, the legend and the year in figures.
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
    buildYearFilter(body, parts);
    buildTripList(body, parts);
    buildLayerSwitch(body, parts);
    buildLegend(body, parts);
    buildYearTable(body, parts);
    return parts;
  }

  // The search box: it narrows the trip list; Enter opens the list's first trip, the down
  // arrow goes into the list.
  function buildSearch(body, parts) {
    var box = L.DomUtil.create('div', 'omvo-search', body);
    box.setAttribute('role', 'search');
    var input = parts.searchInput = L.DomUtil.create('input', '', box);
    input.type = 'search';
    input.placeholder = TEXT.searchHint;
    input.setAttribute('aria-label', TEXT.searchLabel);
    input.setAttribute('aria-controls', 'omvo-list');
    input.autocomplete = 'off';
    input.addEventListener('input', function () {
      state.query = tripQuery(input.value);
      refreshList(true);
    });
    input.addEventListener('keydown', function (event) {
      if (event.key === 'Enter') {
        event.preventDefault();
        state.query = tripQuery(input.value);
        refreshList(true);
        if (state.listRows.length) chooseResult(state.listRows[0], input);
      } else if (event.key === 'ArrowDown' && state.listRows.length) {
        event.preventDefault();
        focusRow(0);
      }
    });
  }

  // The years: a range of the years present, each with its trips in the map shown, and
  // the trips without dates, shown unless unticked.
  function buildYearFilter(body, parts) {
    var set = L.DomUtil.create('fieldset', 'omvo-years', body);
    L.DomUtil.create('legend', '', set).textContent = TEXT.years;
    set.hidden = !model.years.length && !model.undatedCount;
    parts.yearSelects = [];
    if (model.years.length) {
      [TEXT.yearsFrom, TEXT.yearsTo].forEach(function (text, end) {
        var label = L.DomUtil.create('label', 'omvo-year-end', set);
        L.DomUtil.create('span', '', label).textContent = text;
        var select = L.DomUtil.create('select', '', label);
        select.id = end ? 'omvo-year-to' : 'omvo-year-from';
        model.years.forEach(function (year) {
          var option = L.DomUtil.create('option', '', select);
          option.value = String(year);
        });
        select.value = String(end ? model.years[model.years.length - 1] : model.years[0]);
        select.addEventListener('change', function () { onYearChange(end); });
        parts.yearSelects.push(select);
      });
    }
    parts.undated = null;
    if (model.undatedCount) {
      var label = L.DomUtil.create('label', 'omvo-undated', set);
      var box = parts.undated = L.DomUtil.create('input', '', label);
      box.type = 'checkbox';
      box.id = 'omvo-undated';
      box.checked = true;
      parts.undatedText = L.DomUtil.create('span', '', label);
      box.addEventListener('change', function () {
        state.years.undated = box.checked;
        redraw();
      });
    }
  }

  // The trip list: the count, a row of column heads that sort it, and the rows in a box
  // that scrolls. Only the rows in view (and a few around them) are in the document.
  function buildTripList(body, parts) {
    var section = L.DomUtil.create('section', 'omvo-list-section', body);
    section.setAttribute('aria-label', TEXT.list);
    parts.count = L.DomUtil.create('p', 'omvo-count', section);
    parts.count.setAttribute('role', 'status');
    var grid = L.DomUtil.create('div', 'omvo-list', section);
    grid.id = 'omvo-list';
    grid.setAttribute('role', 'grid');
    grid.setAttribute('aria-label', TEXT.list);
    var head = L.DomUtil.create('div', 'omvo-list-head', grid);
    head.setAttribute('role', 'rowgroup');
    var headRow = L.DomUtil.create('div', 'omvo-list-columns', head);
    headRow.setAttribute('role', 'row');
    headRow.setAttribute('aria-rowindex', '1');
    parts.sortHeads = COLUMNS.map(function (column) {
      var cell = L.DomUtil.create('div', 'omvo-col-' + column.key, headRow);
      cell.setAttribute('role', 'columnheader');
      var button = L.DomUtil.create('button', 'omvo-sort', cell);
      button.type = 'button';
      button.textContent = column.name;
      button.addEventListener('click', function () {
        sortList(column.key, state.sort.key === column.key ? !state.sort.descending
                                                            : column.descending);
      });
      return { key: column.key, cell: cell };
    });
    var rows = parts.listBody = L.DomUtil.create('div', 'omvo-list-body', grid);
    rows.setAttribute('role', 'rowgroup');
    parts.listSpacer = L.DomUtil.create('div', 'omvo-list-spacer', rows);
    rows.addEventListener('scroll', renderRows, { passive: true });
    rows.addEventListener('keydown', onListKeyDown);
    rows.addEventListener('click', function (event) {
      var row = event.target.closest('.omvo-row');
      if (row && rowItems.has(row)) chooseRow(row);
    });
    rows.addEventListener('focusin', function (event) {
      var item = rowItems.get(event.target);
      if (item) state.listFocus = state.listPlace.get(item.index);
    });
    // Unfolded on a phone, or its size changed: the rows in view are others.
    new ResizeObserver(renderRows).observe(rows);
  }

  // A row of the list: the first date, the class's colour, the name, the length; the id and
  // the whole heading in the name's tooltip.
  function buildRow(item) {
    var row = L.DomUtil.create('div', 'omvo-row');
    row.setAttribute('role', 'row');
    var cell = function (key) {
      var element = L.DomUtil.create('div', 'omvo-col-' + key, row);
      element.setAttribute('role', 'gridcell');
      return element;
    };
    cell('date').textContent = item.dates ? dateText(item.dates[0]) : TEXT.undated;
    var swatch = cell('class');
    swatch.appendChild(swatchOf(item.style));
    L.DomUtil.create('span', 'omvo-hidden', swatch).textContent = item.style.name;
    var name = cell('name');
    name.textContent = item.listName;
    name.title = labelOf(item);
    cell('km').textContent = TEXT.kmTenths(item.lengthKm);
    rowItems.set(row, item);
    return row;
  }

  // The switch of the three maps, each with its number of trips, and beside it the view of
  // where the club rides most with what its colour means.
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
          layer.name + ' (' + totalsOf(layer.bit, false).trips + ')';
      return radio;
    });
    var label = L.DomUtil.create('label', 'omvo-density-switch', set);
    var box = parts.densitySwitch = L.DomUtil.create('input', '', label);
    box.type = 'checkbox';
    box.id = 'omvo-density';
    L.DomUtil.create('span', '', label).textContent = TEXT.density;
    box.addEventListener('change', function () { setDensity(box.checked); });
    var legend = parts.densityLegend = L.DomUtil.create('div', 'omvo-density-legend', set);
    legend.hidden = true;
    L.DomUtil.create('p', '', legend).textContent = TEXT.densityNote;
    parts.densitySteps = L.DomUtil.create('ul', '', legend);
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

  // The club's year in figures: the legend's trips and kilometres for each year and class of
  // the map shown; folded on the screen, always on paper.
  function buildYearTable(body, parts) {
    var section = L.DomUtil.create('section', 'omvo-year-table', body);
    var toggle = L.DomUtil.create('button', 'omvo-year-toggle', section);
    toggle.type = 'button';
    toggle.textContent = TEXT.yearTable;
    toggle.setAttribute('aria-expanded', 'false');
    toggle.setAttribute('aria-controls', 'omvo-year-figures');
    var table = L.DomUtil.create('table', 'omvo-year-figures omvo-collapsed', section);
    table.id = 'omvo-year-figures';
    L.DomUtil.create('caption', '', table).textContent = TEXT.yearTable;
    var head = L.DomUtil.create('tr', '', L.DomUtil.create('thead', '', table));
    TEXT.yearTableHead.forEach(function (text) {
      L.DomUtil.create('th', '', head).textContent = text;
    });
    parts.yearTableBody = L.DomUtil.create('tbody', '', table);
    toggle.addEventListener('click', function () {
      var open = toggle.getAttribute('aria-expanded') !== 'true';
      toggle.setAttribute('aria-expanded', String(open));
      table.classList.toggle('omvo-collapsed', !open);
    });
  }

  // The trips and kilometres of the map of the bit: of each year (-1: the trips without
  // dates) and of its classes, in `years`, and of all in `all`.
  function yearSumsOf(bit) {
    var years = new Map();
    var all = { trips: 0, km: 0 };
    model.tripItems.forEach(function (item) {
      if ((item.layers & bit) === 0) return;
      var key = item.year === null ? -1 : item.year;
      if (!years.has(key)) {
        years.set(key, { trips: 0, km: 0, classes: model.classes.map(function () {
          return { trips: 0, km: 0 };
        }) });
      }
      var year = years.get(key);
      [year, year.classes[item.classIndex], all].forEach(function (sum) {
        sum.trips += 1;
        sum.km += item.lengthKm;
      });
    });
    return { years: years, all: all };
  }

  // The table's rows for the sums of yearSumsOf: each year (the latest first, then the trips
  // without dates) with its trips and kilometres, then its classes', then the sum.
  function fillYearTable(sums) {
    var body = panelParts.yearTableBody;
    body.textContent = '';
    var years = sums.years;
    var row = function (className, name, sum, header) {
      var tr = L.DomUtil.create('tr', className, body);
      var first = L.DomUtil.create(header ? 'th' : 'td', 'omvo-name', tr);
      if (header) first.scope = 'rowgroup';
      if (typeof name === 'string') {
        first.textContent = name;
      } else {
        first.appendChild(name);
      }
      L.DomUtil.create('td', 'omvo-trips', tr).textContent = TEXT.number(sum.trips);
      L.DomUtil.create('td', 'omvo-km', tr).textContent = TEXT.km(sum.km);
    };
    Array.from(years.keys()).sort(function (a, b) {
      return a === -1 ? 1 : b === -1 ? -1 : b - a;
    }).forEach(function (key) {
      var year = years.get(key);
      row('omvo-year', key === -1 ? TEXT.undated : String(key), year, true);
      year.classes.forEach(function (sum, classIndex) {
        if (!sum.trips) return;
        var style = model.classes[classIndex];
        var name = L.DomUtil.create('span', 'omvo-class-name');
        name.appendChild(swatchOf(style));
        L.DomUtil.create('span', '', name).textContent = style.name;
        row('omvo-year-class', name, sum, false);
      });
    });
    row('omvo-year-total', TEXT.total, sums.all, true);
  }

  // A card's content: the item's name, a trip's figures and elevation profile, and the
  // sanitized description, in a box whose content cannot reach outside it.
  function buildPopupContent(item) {
    var box = L.DomUtil.create('div', 'omvo-popup');
    box.tabIndex = -1;
    box.appendChild(document.createElement('h2')).textContent = item.name;
    if (item.figures) box.appendChild(buildFigures(item.figures));
    if (item.profile && item.figures && item.figures.km) {
      box.appendChild(buildProfile(item.profile, item.figures.km));
    }
    var body = L.DomUtil.create('div', 'omvo-description', box);
    body.appendChild(DOMPurify.sanitize(item.description, SANITIZER));
    return box;
  }

  // The figures the tool measured, those it knows.
  function buildFigures(figures) {
    var list = L.DomUtil.create('dl', 'omvo-figures');
    var add = function (name, value, text) {
      if (value === null) return;
      L.DomUtil.create('dt', '', list).textContent = TEXT.figures[name];
      L.DomUtil.create('dd', 'omvo-figure-' + name, list).textContent = text(value);
    };
    add('length', figures.km, function (km) { return TEXT.kmTenths(km) + '\u00a0км'; });
    add('days', figures.days, String);
    add('climb', figures.climb, TEXT.metres);
    add('descent', figures.descent, TEXT.metres);
    add('moving', figures.moving, TEXT.duration);
    add('total', figures.total, TEXT.duration);
    add('segments', figures.segments, String);
    return list;
  }

  // The elevation profile as an SVG chart: the elevation against the distance along the track,
  // a line and the area below it for each stretch with elevations, broken where the track's
  // segments part (a dashed mark there); the lowest and highest elevation and the length at
  // its sides. Made of elements and numbers only: nothing of a record reaches it.
  function buildProfile(profile, km) {
    var P = PROFILE;
    var svg = svgElement('svg', { 'class': 'omvo-profile', width: P.width, height: P.height,
                                  viewBox: '0 0 ' + P.width + ' ' + P.height, role: 'img' });
    var low = Number(profile.low), high = Number(profile.high);
    var label = TEXT.profile(low, high, TEXT.kmTenths(km) + '\u00a0км');
    svg.setAttribute('aria-label', label);
    svgElement('title', {}, svg).textContent = label;
    var plotW = P.width - P.left - P.right, plotH = P.height - P.top - P.bottom;
    var bottom = P.top + plotH;
    svgElement('path', { 'class': 'omvo-profile-axis',
                         d: 'M' + P.left + ' ' + P.top + 'V' + bottom + 'H' + (P.width - P.right) },
               svg);
    var places = [], gaps = [];
    for (var i = 0; i < profile.places.length; ++i) {
      var c = profile.places.charAt(i);
      if (c === P.gap) {
        if (places.length) gaps.push(places.length);  // a gap before the first parts nothing
        continue;
      }
      var level = P.digits.indexOf(c);
      places.push(level < 0 ? null : level);
    }
    var last = Math.max(1, places.length - 1);
    var x = function (k) { return round1(P.left + k / last * plotW); };
    var y = function (level) { return round1(bottom - level / P.levels * plotH); };
    var stretch = [];
    var draw = function () {
      if (!stretch.length) return;
      var line = stretch.map(function (k, n) {
        return (n ? 'L' : 'M') + x(k) + ' ' + y(places[k]);
      }).join('');
      if (stretch.length === 1) line += 'h0.01';  // a lone place still shows as a dot
      svgElement('path', { 'class': 'omvo-profile-area', d: line + 'V' + bottom + 'H' +
                           x(stretch[0]) + 'Z' }, svg);
      svgElement('path', { 'class': 'omvo-profile-line', d: line }, svg);
      stretch = [];
    };
    places.forEach(function (level, k) {
      if (gaps.indexOf(k) >= 0) draw();
      if (level === null) {
        draw();
      } else {
        stretch.push(k);
      }
    });
    draw();
    gaps.forEach(function (k) {
      var at = round1((x(k - 1) + x(k)) / 2);
      svgElement('path', { 'class': 'omvo-profile-gap', d: 'M' + at + ' ' + P.top + 'V' + bottom },
                 svg);
    });
    var text = function (content, tx, ty, anchor) {
      var element = svgElement('text', { x: tx, y: ty, 'text-anchor': anchor }, svg);
      element.textContent = content;
    };
    text(TEXT.metres(high), P.left - 3, P.top + 7, 'end');
    text(TEXT.metres(low), P.left - 3, bottom, 'end');
    text('0', P.left, P.height - 3, 'start');
    text(TEXT.kmTenths(km) + '\u00a0км', P.width - P.right, P.height - 3, 'end');
    return svg;
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
    if (item.isTrip && !options.fromList) scrollListTo(item);
    renderRows();
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
    var sums = yearSumsOf(bit);
    fillYearTable(sums);
    updateYearCounts(sums.years);
    if (fit) fitShown();
  }

  // Shows the trips of the years from `from` to `to` (null: no bound) and, with `undated`,
  // those without dates.
  function setYears(from, to, undated) {
    state.years = { from: from, to: to, undated: undated };
    panelParts.yearSelects.forEach(function (select, end) {
      var year = end ? to : from;
      select.value = String(year === null ? model.years[end ? model.years.length - 1 : 0]
                                          : year);
    });
    if (panelParts.undated) panelParts.undated.checked = undated;
    redraw();
  }

  // Orders the list by the column of the key.
  function sortList(key, descending) {
    state.sort = { key: key, descending: descending };
    refreshList(true);
  }

  // Draws every trip shown in one faint colour, where roads many trips share stand out, or
  // again in their classes' colours.
  function setDensity(on) {
    state.density = on;
    panelParts.densitySwitch.checked = on;
    panelParts.densityLegend.hidden = !on;
    redraw();
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

  // The Russian form of a noun for the number: [1, 2-4, 5-20] ("поездка", "поездки",
  // "поездок"), by the last two digits.
  function plural(n, forms) {
    var tens = n % 100, ones = n % 10;
    if (tens >= 11 && tens <= 14) return forms[2];
    return ones === 1 ? forms[0] : ones >= 2 && ones <= 4 ? forms[1] : forms[2];
  }

  // dd.mm.yyyy of a yyyymmdd day.
  function dateText(day) {
    var two = function (n) { return (n < 10 ? '0' : '') + n; };
    return two(day % 100) + '.' + two(Math.floor(day / 100) % 100) + '.' + Math.floor(day / 10000);
  }

  function round1(value) {
    return Math.round(value * 10) / 10;
  }

  // An SVG element with the attributes, added to the parent when given.
  function svgElement(name, attributes, parent) {
    var element = document.createElementNS(SVG_NS, name);
    Object.keys(attributes).forEach(function (key) {
      element.setAttribute(key, String(attributes[key]));
    });
    if (parent) parent.appendChild(element);
    return element;
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

  // The test of a trip for the search text, null for no text: its id starts with the text,
  // or each word of the text is the start of its id, a part of its heading, a year or a month
  // of its dates.
  function tripQuery(text) {
    var q = normalize(text.trim());
    if (!q) return null;
    var words = q.split(/\s+/).map(function (word) {
      var month = -1;
      MONTH_FORMS.forEach(function (form, m) { if (form.test(word)) month = m; });
      return { text: word, year: /^\d{4}$/.test(word), month: month };
    });
    return function (item) {
      return item.searchName.indexOf(q) === 0 ||
             words.every(function (word) { return matches(item, word); });
    };
  }

  function matches(item, word) {
    return item.searchName.indexOf(word.text) === 0 ||
           item.searchHeading.indexOf(word.text) >= 0 ||
           (word.year && item.searchYears.indexOf(word.text) >= 0) ||
           (word.month >= 0 && (item.searchMonths & (1 << word.month)) !== 0);
  }

  function labelOf(item) {
    return item.isTrip ? item.name + ' — ' + item.heading : item.name;
  }

  // A trip chosen in the panel: the trip shown, its popup next in the Tab order.
  function chooseResult(item, from) {
    showTrip(item.name, { focus: true, fromList: true });
    if (state.selected) state.selected.returnFocus = from;
  }

  // Makes the item drawn: its map shown, its class or overlay not hidden, its year in the
  // filter.
  function reveal(item) {
    if (drawn.hasLayer(lines[item.index])) return;
    if ((item.layers & state.layer) === 0) setLayer(model.layers[0].bit, false);
    if (item.isTrip) {
      toggleSet(state.hiddenClasses, item.classIndex, false);
      if (!passesYears(item)) {
        var years = state.years;
        setYears(item.year === null || years.from === null ? years.from
                                                            : Math.min(years.from, item.year),
                 item.year === null || years.to === null ? years.to
                                                         : Math.max(years.to, item.year),
                 years.undated || item.year === null);
      }
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

  function passesYears(item) {
    var years = state.years;
    if (item.year === null) return years.undated;
    return (years.from === null || item.year >= years.from) &&
           (years.to === null || item.year <= years.to);
  }

  function shown(item) {
    if ((item.layers & state.layer) === 0) return false;
    return item.isTrip ? !state.hiddenClasses.has(item.classIndex) && passesYears(item)
                       : !state.hiddenOverlays.has(item.index) && !state.density;
  }

  // Adds and removes lines to match the state, styles them for the classes or the density,
  // and updates the legend and the list.
  function redraw() {
    var wanted = lines.map(function (line) { return shown(line.item); });
    var alpha = null;
    if (state.density) {
      alpha = densityAlpha(wanted.filter(function (show, k) {
        return show && lines[k].item.isTrip;
      }).length);
    }
    var lineStyle = alpha === null ? 'classes' : String(alpha);
    var restyle = lineStyle !== state.lineStyle;
    state.lineStyle = lineStyle;
    lines.forEach(function (line, k) {
      var show = wanted[k], has = drawn.hasLayer(line);
      if (restyle && line.item.isTrip) {
        // A line on the map is drawn again in its new style; the others take it when added.
        var style = lineStyleOf(line.item, alpha);
        if (show && has) {
          line.setStyle(style);
        } else {
          L.setOptions(line, style);
        }
      }
      if (show && !has) drawn.addLayer(line);
      if (!show && has) drawn.removeLayer(line);
    });
    var totals = totalsOf(state.layer, true);
    panelParts.legendRows.forEach(function (row) { row.update(totals); });
    if (alpha !== null) updateDensitySteps(alpha);
    refreshList(false);
  }

  // The trips and kilometres of each class (of the trips in the year filter, with it), and
  // the kilometres of each overlay, in a map.
  function totalsOf(bit, byYears) {
    var totals = {
      trips: 0,
      classes: model.classes.map(function () { return { trips: 0, km: 0 }; }),
      overlays: {}
    };
    model.items.forEach(function (item) {
      if (!item.isTrip) {
        totals.overlays[item.index] = { km: (item.layers & bit) !== 0 ? item.km : 0 };
      } else if ((item.layers & bit) !== 0 && (!byYears || passesYears(item))) {
        totals.trips += 1;
        totals.classes[item.classIndex].trips += 1;
        totals.classes[item.classIndex].km += item.lengthKm;
      }
    });
    return totals;
  }

  // The year filter's years, each with its trips in the map shown, from the years of
  // yearSumsOf.
  function updateYearCounts(years) {
    var count = function (key) { return years.has(key) ? years.get(key).trips : 0; };
    panelParts.yearSelects.forEach(function (select) {
      Array.prototype.forEach.call(select.options, function (option) {
        option.textContent = option.value + ' (' + count(Number(option.value)) + ')';
      });
    });
    if (panelParts.undated) {
      panelParts.undatedText.textContent = TEXT.undated + ' (' + count(-1) + ')';
    }
  }

  // A year chosen at one end of the range: the other end follows where they would cross.
  function onYearChange(end) {
    var from = Number(panelParts.yearSelects[0].value);
    var to = Number(panelParts.yearSelects[1].value);
    if (from > to) {
      if (end) {
        from = to;
      } else {
        to = from;
      }
    }
    var first = model.years[0], last = model.years[model.years.length - 1];
    setYears(from === first ? null : from, to === last ? null : to, state.years.undated);
  }

  // What the density's colour means: how dark one trip, some and many draw a road.
  function updateDensitySteps(alpha) {
    var list = panelParts.densitySteps;
    list.textContent = '';
    var half = Math.max(2, Math.ceil(Math.log(0.5) / Math.log(1 - alpha)));
    var full = Math.max(half + 1, Math.ceil(Math.log(0.1) / Math.log(1 - alpha)));
    [1, half, full].forEach(function (trips, k) {
      var step = L.DomUtil.create('li', '', list);
      step.appendChild(swatchOf({ color: DENSITY.color, width: 6,
                                  alpha: 255 * (1 - Math.pow(1 - alpha, trips)) }));
      L.DomUtil.create('span', '', step).textContent = TEXT.densitySteps(trips, k === 2);
    });
  }

  // Fills the list with the trips shown that the search finds, in the list's order, with
  // their number and kilometres; from its top when asked (a new search or order).
  function refreshList(toTop) {
    var order = orderOf(state.sort.key, state.sort.descending);
    var rows = [], km = 0;
    var place = new Map();
    order.forEach(function (item) {
      if (!drawn.hasLayer(lines[item.index]) || (state.query && !state.query(item))) return;
      place.set(item.index, rows.length);
      rows.push(item);
      km += item.lengthKm;
    });
    state.listRows = rows;
    state.listPlace = place;
    panelParts.count.textContent = !rows.length && state.query ? TEXT.nothingFound
                                                               : TEXT.listCount(rows.length, km);
    panelParts.sortHeads.forEach(function (head) {
      if (head.key === state.sort.key) {
        head.cell.setAttribute('aria-sort', state.sort.descending ? 'descending' : 'ascending');
      } else {
        head.cell.removeAttribute('aria-sort');
      }
    });
    panelParts.listBody.parentNode.setAttribute('aria-rowcount', String(rows.length + 1));
    if (toTop) {
      state.listFocus = 0;
      panelParts.listBody.scrollTop = 0;
    }
    renderRows();
  }

  // The trips in the order of the column, cached: those the column has no value for last;
  // trips of the same value in the data's order.
  function orderOf(key, descending) {
    var cacheKey = key + (descending ? '-' : '+');
    if (orderCache.has(cacheKey)) return orderCache.get(cacheKey);
    var column = COLUMNS.filter(function (c) { return c.key === key; })[0];
    var known = [], unknown = [];
    model.tripItems.forEach(function (item) {
      (column.value(item) === null ? unknown : known).push(item);
    });
    var sign = descending ? -1 : 1;
    known.sort(function (a, b) { return sign * column.compare(a, b) || a.index - b.index; });
    var order = known.concat(unknown);
    orderCache.set(cacheKey, order);
    return order;
  }

  function rowHeight() {
    return isNarrow() ? ROW_PX.narrow : ROW_PX.wide;
  }

  // Puts the rows in view (and a few around) in the document, each at its place in a box as
  // high as all of them; keeps the focused row, and the one that takes the Tab stop.
  function renderRows() {
    var box = panelParts.listBody, rows = state.listRows, h = rowHeight();
    panelParts.listSpacer.style.height = rows.length * h + 'px';
    var top = Math.floor(box.scrollTop / h);
    var first = Math.max(0, top - LIST_OVERSCAN);
    var end = Math.min(rows.length,
                       Math.ceil((box.scrollTop + box.clientHeight) / h) + LIST_OVERSCAN);
    var focused = rowItems.get(document.activeElement);
    if (!(state.listFocus >= first && state.listFocus < end) && !focused) {
      state.listFocus = Math.min(top, rows.length - 1);
    }
    var places = [];
    for (var i = first; i < end; ++i) places.push(i);
    if (state.listFocus >= 0 && (state.listFocus < first || state.listFocus >= end)) {
      places.push(state.listFocus);
    }
    var selected = state.selected && state.selected.item;
    var kept = new Map();
    places.forEach(function (at) {
      var item = rows[at];
      var row = rowElements.get(item.index) || buildRow(item);
      row.style.top = at * h + 'px';
      row.style.height = h + 'px';
      row.tabIndex = at === state.listFocus ? 0 : -1;
      row.setAttribute('aria-rowindex', String(at + 2));
      row.setAttribute('aria-selected', String(item === selected));
      if (row.parentNode !== panelParts.listSpacer) panelParts.listSpacer.appendChild(row);
      kept.set(item.index, row);
    });
    rowElements.forEach(function (row, index) {
      if (!kept.has(index)) L.DomUtil.remove(row);
    });
    rowElements = kept;
  }

  // Focuses the row at the place, scrolling it into view.
  function focusRow(at) {
    var box = panelParts.listBody, h = rowHeight();
    if (!state.listRows.length) return;
    at = Math.max(0, Math.min(state.listRows.length - 1, at));
    state.listFocus = at;
    if (at * h < box.scrollTop) {
      box.scrollTop = at * h;
    } else if ((at + 1) * h > box.scrollTop + box.clientHeight) {
      box.scrollTop = (at + 1) * h - box.clientHeight;
    }
    renderRows();
    var row = rowElements.get(state.listRows[at].index);
    if (row) row.focus({ preventScroll: true });
  }

  // The arrows, Home, End and the page keys move along the list, Enter or space choose.
  function onListKeyDown(event) {
    var item = rowItems.get(event.target);
    if (!item) return;
    var at = state.listPlace.get(item.index);
    var page = Math.max(1, Math.floor(panelParts.listBody.clientHeight / rowHeight()) - 1);
    var to = { ArrowDown: at + 1, ArrowUp: at - 1, Home: 0, End: state.listRows.length - 1,
               PageDown: at + page, PageUp: at - page }[event.key];
    if (event.key === 'Enter' || event.key === ' ') {
      event.preventDefault();
      chooseRow(event.target);
    } else if (to !== undefined) {
      event.preventDefault();
      if (to < 0 && event.key === 'ArrowUp') {
        panelParts.searchInput.focus();
      } else {
        focusRow(to);
      }
    }
  }

  function chooseRow(row) {
    var item = rowItems.get(row);
    state.listFocus = state.listPlace.get(item.index);
    chooseResult(item, row);
  }

  // Scrolls the list to the trip's row where it is out of view.
  function scrollListTo(item) {
    var at = state.listPlace.get(item.index);
    var box = panelParts.listBody, h = rowHeight();
    if (at === undefined || !box.clientHeight) return;
    if (at * h < box.scrollTop || (at + 1) * h > box.scrollTop + box.clientHeight) {
      box.scrollTop = Math.max(0, at * h - (box.clientHeight - h) / 2);
    }
    state.listFocus = at;
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
    // A row of the list may have been made again meanwhile.
    var focus = document.activeElement;
    var target = selected.returnFocus;
    var rowItem = target && rowItems.get(target);
    renderRows();
    if (rowItem) target = rowElements.get(rowItem.index) || target;
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
  var orderCache = new Map();    // a sort order -> the trips in it
  var rowElements = new Map();   // item index -> its row of the list in the document
  var rowItems = new WeakMap();  // a row of the list -> its item

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
    listed: function () { return state.listRows.map(function (item) { return item.name; }); },
    showTrip: showTrip,
    setYears: setYears,
    setDensity: setDensity,
    sortList: sortList
  };

  // The view first, then the lines: they are drawn once, in the next frame.
  if (!fitShown()) map.setView([0, 0], 2);
  setLayer(model.layers[0].bit, false);
  if (window.location.hash.length > 1) showAddressedTrip();
})();
