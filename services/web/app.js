// The gateway's page: the overview at "/", one energizer at "/energizer/LINK/ADDRESS".
// Live through server-sent events; the browser reconnects by itself.
'use strict';

const TEXT = {
  en: {
    overview: 'All energizers', online: 'on line', offline: 'off line', zone: 'Zone', on: 'on', off: 'off',
    hv: 'high', lv: 'low', battery: 'Battery', alarms: 'Alarms', noAlarm: 'no alarm', live: 'Last hour (live)',
    trend: 'Trend', day: 'Day', week: 'Week', d90: '90 days', events: 'Timeline', time: 'Time', what: 'What',
    who: 'Who', detail: 'Detail', connected: 'live', lost: 'connection lost, reconnecting…', viewer: 'viewer',
    operator: 'operator', switchOn: 'On', switchOff: 'Off', switchHv: 'HV', switchLv: 'LV', refused: 'Refused',
    output: 'Output', ret: 'Return', highAlarm: 'high voltage alarm', lowAlarm: 'low voltage alarm', none: 'nothing yet', energizers: 'energizers', of: 'of',
    kinds: { online: 'on line', offline: 'off line', alarm_raised: 'alarm', alarm_cleared: 'alarm cleared',
      fault_raised: 'fault', fault_cleared: 'fault cleared', zone_on: 'zone on', zone_off: 'zone off',
      zone_high: 'zone high voltage', zone_low: 'zone low voltage', config_read: 'configuration read',
      config_backup: 'configuration backed up', config_written: 'configuration written', config_restored: 'configuration restored' },
  },
  de: {
    overview: 'Alle Weidezaungeräte', online: 'erreichbar', offline: 'nicht erreichbar', zone: 'Zone', on: 'ein', off: 'aus',
    hv: 'hoch', lv: 'niedrig', battery: 'Batterie', alarms: 'Alarme', noAlarm: 'kein Alarm', live: 'Letzte Stunde (live)',
    trend: 'Verlauf', day: 'Tag', week: 'Woche', d90: '90 Tage', events: 'Zeitleiste', time: 'Zeit', what: 'Was',
    who: 'Wer', detail: 'Details', connected: 'live', lost: 'Verbindung unterbrochen, verbinde neu…', viewer: 'Betrachter',
    operator: 'Bediener', switchOn: 'Ein', switchOff: 'Aus', switchHv: 'HV', switchLv: 'LV', refused: 'Abgelehnt',
    output: 'Ausgang', ret: 'Rückleitung', highAlarm: 'Hochspannungsalarm', lowAlarm: 'Niederspannungsalarm', none: 'noch nichts', energizers: 'Geräte', of: 'von',
    kinds: { online: 'erreichbar', offline: 'nicht erreichbar', alarm_raised: 'Alarm', alarm_cleared: 'Alarm beendet',
      fault_raised: 'Fehler', fault_cleared: 'Fehler behoben', zone_on: 'Zone ein', zone_off: 'Zone aus',
      zone_high: 'Zone Hochspannung', zone_low: 'Zone Niederspannung', config_read: 'Konfiguration gelesen',
      config_backup: 'Konfiguration gesichert', config_written: 'Konfiguration geschrieben', config_restored: 'Konfiguration wiederhergestellt' },
  },
};
// Dates and numbers as the browser's own language writes them (en-GB: 24 hours).
const LOCALE = (navigator.languages && navigator.languages[0]) || navigator.language || 'en';
const LANG = (navigator.languages || [navigator.language || 'en']).map(l => l.slice(0, 2)).find(l => TEXT[l]) || 'en';
const T = TEXT[LANG];
document.documentElement.lang = LANG;

const state = { site: null, byKey: new Map(), index: new Map(), live: null, liveData: null };
const main = document.getElementById('main');
const path = location.pathname.split('/').map(decodeURIComponent);
const page = path[1] === 'energizer' ? { link: path[2], address: Number(path[3]) } : null;
const keyOf = e => e.link + '/' + e.address;
const esc = s => String(s).replace(/[&<>"']/g, c => '&#' + c.charCodeAt(0) + ';');
const volts = v => Math.round(v) + ' V';

function zoneButtons(e, zone) {
  if (!state.site.operator) return '';
  const b = (action, label) =>
    `<button data-link="${esc(e.link)}" data-address="${e.address}" data-zone="${zone}" data-action="${action}">${label}</button>`;
  return `<div class="buttons">${T.zone} ${zone}: ${b('on', T.switchOn)}${b('off', T.switchOff)}${b('hv', T.switchHv)}${b('lv', T.switchLv)}</div>`;
}

// A card's text changes with every status; its buttons stay, so a press is never lost.
function cardInfo(e) {
  let html = `<span class="state">${e.online ? T.online : T.offline}</span>` +
    `<a href="/energizer/${encodeURIComponent(e.link)}/${e.address}">${esc(e.name || e.link + ' ' + e.address)}</a>` +
    `<div><small>${esc(e.link)} · ${e.address}</small></div>`;
  if (!e.online) return html;
  e.zones.forEach((z, i) => {
    html += `<div class="zone" data-zone="${i + 1}"><span>${T.zone} ${i + 1}: <b class="zstate">${z.on ? T.on : T.off}</b> ${z.hv ? T.hv : T.lv}</span>` +
      `<span>${volts(z.output)} / ${volts(z.return)}</span></div>`;
  });
  html += `<div class="zone"><span>${T.battery}</span><span>${e.battery.toFixed(1)} V</span></div>`;
  return html + `<div class="alarms">${e.alarms.length ? T.alarms + ': ' + e.alarms.map(esc).join(', ') : ''}</div>`;
}

const cardClass = e => `card${e.online ? '' : ' offline'}${e.online && e.alarms.length ? ' alarm' : ''}`;

function card(e) {
  return `<div class="${cardClass(e)}" data-key="${esc(keyOf(e))}"><div class="info">${cardInfo(e)}</div>` +
    zoneButtons(e, 1) + zoneButtons(e, 2) + '</div>';
}

function renderOverview() {
  const all = state.site.energizers;
  const online = all.filter(e => e.online).length;
  let html = `<h2>${T.overview} <small>(${online} ${T.of} ${all.length} ${T.online})</small></h2>`;
  const links = [...new Set(all.map(e => e.link))];
  for (const link of links) {
    html += `<h2>${esc(link)}</h2><div class="grid">` + all.filter(e => e.link === link).map(card).join('') + '</div>';
  }
  main.innerHTML = html;
  cardsByKey = new Map([...main.querySelectorAll('.card')].map(el => [el.dataset.key, el]));
}

// The cards by key, found again after each full render: a burst of news for
// a thousand energizers must not search the page for each.
let cardsByKey = new Map();

function updateCard(e) {
  const el = cardsByKey.get(keyOf(e));
  if (!el || !el.isConnected) return;
  el.className = cardClass(e);
  el.querySelector('.info').innerHTML = cardInfo(e);
}

// Times in the browser's language: seconds within ten minutes, dates beyond two days.
const when = v => v == null ? '--' : new Date(v * 1000).toLocaleString(LOCALE);
function ticks(u, splits) {
  const span = u.scales.x.max - u.scales.x.min;
  const form = span > 2 * 86400 ? { day: 'numeric', month: 'short' }
    : span < 600 ? { hour: '2-digit', minute: '2-digit', second: '2-digit' } : { hour: '2-digit', minute: '2-digit' };
  return splits.map(v => new Date(v * 1000).toLocaleString(LOCALE, form));
}

function chart(el, title, series, data, height) {
  el.innerHTML = '';
  const width = Math.max(280, el.clientWidth - 10);
  return new uPlot({ title, width, height: height || 220, series: [{ label: T.time, value: (u, v) => when(v) }, ...series],
    scales: { x: { time: true } }, axes: [{ values: ticks, space: 90 }, { size: 60 }] }, data, el);
}

const SERIES = () => [
  { label: `${T.output} 1`, stroke: '#1b7f3a' }, { label: `${T.ret} 1`, stroke: '#7fbf8f' },
  { label: `${T.output} 2`, stroke: '#1f4fa8' }, { label: `${T.ret} 2`, stroke: '#8fa8d8' },
];

function renderDetail() {
  const e = state.byKey.get(page.link + '/' + page.address);
  if (!e) { main.innerHTML = `<p class="msg">${esc(page.link)} ${page.address}?</p>`; return; }
  main.innerHTML = `<div class="grid">${card(e)}</div>` +
    `<h2>${T.live}</h2><div class="chart" id="live"></div>` +
    `<h2>${T.trend}</h2><div class="ranges"><button data-range="day">${T.day}</button> <button data-range="week">${T.week}</button> <button data-range="90d">${T.d90}</button></div>` +
    `<div class="chart" id="trend"></div><h2>${T.events}</h2><div id="events"></div>`;
  cardsByKey = new Map([[keyOf(e), main.querySelector('.card')]]);
  const q = `link=${encodeURIComponent(page.link)}&address=${page.address}`;
  fetch('/api/live?' + q).then(r => r.json()).then(d => {
    state.liveData = [d.t, ...d.s.slice(0, 4)];
    state.live = chart(document.getElementById('live'), '', SERIES(), state.liveData);
  });
  showTrend('day');
  fetch('/api/events?' + q).then(r => r.json()).then(d => {
    const rows = (d.events || []).map(ev => `<tr><td>${new Date(ev.time).toLocaleString(LOCALE)}</td>` +
      `<td>${esc(T.kinds[ev.kind] || ev.kind)}${ev.detail ? ' ' + esc(ev.detail) : ''}</td><td>${esc(ev.who)}</td><td>${esc(ev.link)} ${ev.address}</td></tr>`);
    document.getElementById('events').innerHTML = rows.length
      ? `<table><tr><th>${T.time}</th><th>${T.what}</th><th>${T.who}</th><th></th></tr>${rows.join('')}</table>` : T.none;
  });
}

// The zones' alarm levels come with the trend once the gateway has read the
// configuration; the first answer may come before that, so it asks once more.
function showTrend(range, again) {
  document.querySelectorAll('.ranges button').forEach(b => b.classList.toggle('on', b.dataset.range === range));
  const q = `link=${encodeURIComponent(page.link)}&address=${page.address}&range=${range}`;
  fetch('/api/trend?' + q).then(r => r.json()).then(d => {
    const el = document.getElementById('trend');
    if (!el) return; // another page by now
    const levels = d.levels || [];
    const series = SERIES().concat(levels.map(l => ({ label: `${T.zone} ${l.zone} ${l.kind === 'high' ? T.highAlarm : T.lowAlarm}`,
      stroke: l.zone === 1 ? '#1b7f3a' : '#1f4fa8', dash: [6, 4], width: 1 })));
    // The whole range, so the levels show even before the first reading.
    const t = [d.since, ...d.t, d.until];
    const means = d.mean.slice(0, 4).map(m => [null, ...m, null]);
    chart(el, '', series, [t, ...means, ...levels.map(l => t.map(() => l.volts))]);
    if (!levels.length && !again) setTimeout(() => showTrend(range, true), 2000);
  });
}

function liveSample(e) {
  if (!state.live || !e.online) return;
  const d = state.liveData;
  d[0].push(Math.floor(Date.now() / 1000));
  e.zones.forEach((z, i) => { d[1 + 2 * i].push(z.output); d[2 + 2 * i].push(z.return); });
  if (d[0].length > 3600) d.forEach(s => s.shift());
  state.live.setData(d);
}

function render() { page ? renderDetail() : renderOverview(); }

main.addEventListener('click', ev => {
  const b = ev.target.closest('button');
  if (!b) return;
  if (b.dataset.range) { showTrend(b.dataset.range); return; }
  b.disabled = true;
  fetch('/api/zone', { method: 'POST', headers: { 'Content-Type': 'application/json', 'X-CSRF-Token': state.site.token },
    body: JSON.stringify({ link: b.dataset.link, address: Number(b.dataset.address), zone: Number(b.dataset.zone), action: b.dataset.action }) })
    .then(r => { if (!r.ok) alert(T.refused + ' (' + r.status + ')'); })
    .finally(() => { b.disabled = false; });
});

function connect() {
  const conn = document.getElementById('conn');
  const source = new EventSource('/api/stream');
  source.addEventListener('site', m => {
    state.site = JSON.parse(m.data);
    state.byKey = new Map(state.site.energizers.map(e => [keyOf(e), e]));
    state.index = new Map(state.site.energizers.map((e, i) => [keyOf(e), i]));
    document.getElementById('who').textContent = state.site.user ? `${state.site.user} (${state.site.operator ? T.operator : T.viewer})` : '';
    conn.textContent = T.connected;
    conn.className = 'conn';
    render();
  });
  source.addEventListener('energizers', m => {
    for (const e of JSON.parse(m.data).energizers) {
      const i = state.index.get(keyOf(e));
      if (i !== undefined) state.site.energizers[i] = e;
      state.byKey.set(keyOf(e), e);
      updateCard(e);
      if (page && keyOf(e) === page.link + '/' + page.address) liveSample(e);
    }
    if (!page) {
      const all = state.site.energizers;
      const h = main.querySelector('h2 small');
      if (h) h.textContent = `(${all.filter(e => e.online).length} ${T.of} ${all.length} ${T.online})`;
    }
  });
  source.onerror = () => { conn.textContent = T.lost; conn.className = 'conn lost'; };
}
connect();
