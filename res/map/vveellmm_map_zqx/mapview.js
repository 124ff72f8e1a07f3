// What both map pages share: a Leaflet map in "map_canvas" over OpenStreetMap tiles, a pan
// control, a small zoom control and one marker drawn with the program's marker image. Where
// the tiles cannot load the map stays blank and the marker still shows.
var MapView = (function () {
  'use strict';

  var MARKER_IMAGE = 'qrc:/skin/484.png';
  // Drawn in place of the marker image where the page cannot reach the program's images.
  var MARKER_FALLBACK = 'data:image/svg+xml,' + encodeURIComponent(
    '<svg xmlns="http://www.w3.org/2000/svg" width="18" height="35" viewBox="0 0 18 35">' +
    '<path d="M9 34 L2.2 14.5 A8 8 0 1 1 15.8 14.5 Z" fill="#e8462e" stroke="#5a1208" stroke-width="1.2"/>' +
    '<circle cx="9" cy="9" r="3.2" fill="#ffffff"/></svg>');

  function markerIcon(url) {
    return L.icon({ iconUrl: url, iconSize: [18, 35], iconAnchor: [9, 35] });
  }

  var PanControl = L.Control.extend({
    options: { position: 'topleft' },
    onAdd: function (map) {
      var box = L.DomUtil.create('div', 'pan-control leaflet-bar');
      var steps = [['pan-up', '\u25B2', 0, -1], ['pan-left', '\u25C0', -1, 0],
                   ['pan-right', '\u25B6', 1, 0], ['pan-down', '\u25BC', 0, 1]];
      steps.forEach(function (s) {
        var a = L.DomUtil.create('a', s[0], box);
        a.href = '#';
        a.innerHTML = s[1];
        a.setAttribute('role', 'button');
        L.DomEvent.disableClickPropagation(a);
        L.DomEvent.on(a, 'click', function (e) {
          L.DomEvent.preventDefault(e);
          var size = map.getSize();
          map.panBy([s[2] * size.x / 3, s[3] * size.y / 3]);
        });
      });
      return box;
    }
  });

  function create(lat, lng, zoom) {
    var map = L.map('map_canvas', {
      center: [lat, lng], zoom: zoom, zoomControl: false, keyboard: false
    });
    L.tileLayer('https://tile.openstreetmap.org/{z}/{x}/{y}.png', {
      maxZoom: 19,
      attribution: '&copy; OpenStreetMap contributors'
    }).addTo(map);
    new PanControl().addTo(map);
    L.control.zoom({ position: 'topleft' }).addTo(map);
    var marker = L.marker([lat, lng], {
      icon: markerIcon(MARKER_IMAGE), interactive: false, keyboard: false
    }).addTo(map);
    var probe = new Image();
    probe.onerror = function () { marker.setIcon(markerIcon(MARKER_FALLBACK)); };
    probe.src = MARKER_IMAGE;
    return { map: map, marker: marker };
  }

  // Moves the marker to the point and pans the map there; false for a point that is no point.
  function moveTo(view, lat, lng) {
    if (!view || !isFinite(lat) || !isFinite(lng)) return false;
    view.marker.setLatLng([lat, lng]);
    view.map.panTo([lat, lng], { animate: false });
    return true;
  }

  return { create: create, moveTo: moveTo };
})();
