#!/usr/bin/python3
"""The gateway's web page end to end in headless Chromium: the overview lists
every simulated energizer and follows one going off line without a reload; a
viewer has no zone buttons and a forged POST /api/zone is refused; an operator
switches zone 1 from the page, the simulator follows, the timeline says who.

Run by ctest inside the tests' private network namespace; exits 77 (skipped)
without chromium. With --screens DIR it also saves web-overview.png and
web-energizer.png there; with --german as well, the German page as -de.png."""
import base64, json, os, select, socket, subprocess, sys, tempfile, time, urllib.request, urllib.error, warnings

SKIP = 77
try:
    from selenium import webdriver
    from selenium.webdriver.common.by import By
    from selenium.webdriver.chrome.service import Service
    from selenium.common.exceptions import NoSuchElementException, StaleElementReferenceException
except ImportError:
    print('python3-selenium is missing: skipped'); sys.exit(SKIP)
CHROMIUM, DRIVER = '/usr/bin/chromium', '/usr/bin/chromedriver'
if not (os.access(CHROMIUM, os.X_OK) and os.access(DRIVER, os.X_OK)):
    print('chromium or chromium-driver is missing: skipped'); sys.exit(SKIP)

screens = sys.argv[sys.argv.index('--screens') + 1] if '--screens' in sys.argv else None
german = '--german' in sys.argv
ON, OFF, SUFFIX, LANG = ('ein', 'aus', '-de', 'de-DE') if german else ('on', 'off', '', 'en-GB')
work = tempfile.mkdtemp(prefix='tst_webpage.')
env = dict(os.environ, HOME=work, XDG_DATA_HOME=work, XDG_CONFIG_HOME=work)
children = []


def wait_for(what, check, seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = check()
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError('timed out: ' + what)


def free_port():
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


def start(args, log=None):
    out = open(os.path.join(work, log), 'w') if log else subprocess.PIPE
    p = subprocess.Popen(args, cwd=work, env=env, stdin=subprocess.PIPE, stdout=out,
                         stderr=subprocess.STDOUT, text=True, bufsize=1)
    children.append(p)
    return p


def sim_says(line, prefix):
    sim.stdin.write(line + '\n'); sim.stdin.flush()
    while True:
        ready, _, _ = select.select([sim.stdout], [], [], 5)
        assert ready, 'the simulator did not answer ' + line
        out = sim.stdout.readline()
        if out.startswith(prefix):
            return out.strip()


def login(user):
    return 'Basic ' + base64.b64encode((user + ':pw-' + user).encode()).decode()


def call(path, user, body=None, token=None):
    request = urllib.request.Request(base + path, data=body, method='POST' if body is not None else 'GET')
    request.add_header('Authorization', login(user))
    if token is not None:
        request.add_header('X-CSRF-Token', token)
    try:
        with urllib.request.urlopen(request, timeout=5) as reply:
            return reply.status, reply.read()
    except urllib.error.HTTPError as e:
        return e.code, e.read()
    except urllib.error.URLError:
        return 0, b''  # not listening yet


def as_user(user):
    browser.execute_cdp_cmd('Network.setExtraHTTPHeaders', {'headers': {'Authorization': login(user)}})


def cards():
    return browser.find_elements(By.CSS_SELECTOR, '.card')


def card(address):
    found = browser.find_elements(By.CSS_SELECTOR, '.card[data-key="farm/%d"]' % address)
    return found[0] if found else None


def zone1(address):
    """Zone 1's state as the card shows it; None while the card is being redrawn."""
    try:
        return card(address).find_element(By.CSS_SELECTOR, '.zone[data-zone="1"] .zstate').text
    except (StaleElementReferenceException, NoSuchElementException):
        return None


try:
    # Energizer 4 answers slowly: switches from two sides overlap on it.
    sim = start([os.environ['EC_SIM'], '--udp', '0', '--addresses', '1-4', '--fault', '4:delay=150'])
    ready = wait_for('READY from the simulator', lambda: (lambda l: l if l.startswith('READY') else None)(sim.stdout.readline()), 10)
    sim_port = int(ready.rsplit(':', 1)[1])
    with warnings.catch_warnings():
        warnings.simplefilter('ignore')
        import crypt  # libxcrypt's bcrypt, as the gateway's
        hashes = {u: crypt.crypt('pw-' + u, '$2b$04$' + 'abcdefghijklmnopqrstuv') for u in ('viewer', 'operator')}
    with open(os.path.join(work, 'web.yml'), 'w') as f:
        f.write('basic_auth_users:\n' + ''.join('  %s: %s\n' % (u, h) for u, h in hashes.items()))
    broker_port = free_port()
    with open(os.path.join(work, 'broker.conf'), 'w') as f:
        f.write('persistence false\nlistener %d 127.0.0.1\nallow_anonymous true\n' % broker_port)
    start(['mosquitto', '-c', os.path.join(work, 'broker.conf')], 'broker.log')
    port = free_port()
    with open(os.path.join(work, 'site.conf'), 'w') as f:
        f.write('[gateway]\nmetrics = 127.0.0.1:%d\nweb-config = web.yml\nallow-zone-commands = true\n'
                'operators = operator\ntimeline = timeline.sqlite\nmqtt = 127.0.0.1:%d\ntopic = site\n\n'
                '[farm]\nlink = udp:127.0.0.1:%d\nenergizers = 1-4\ntimeout = 1\n'
                % (port, broker_port, sim_port))
    gateway = start([os.environ['EC_GATEWAY'], '--site', os.path.join(work, 'site.conf')], 'gateway.log')
    base = 'http://127.0.0.1:%d' % port
    wait_for('the gateway to answer', lambda: call('/api/site', 'viewer')[0] == 200 if gateway.poll() is None else sys.exit(open(os.path.join(work, 'gateway.log')).read()), 10)

    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for a in ('--headless=new', '--no-sandbox', '--disable-gpu', '--window-size=1100,900', '--lang=' + LANG,
              '--host-resolver-rules=MAP * ~NOTFOUND , EXCLUDE 127.0.0.1', '--user-data-dir=' + os.path.join(work, 'chromium')):
        options.add_argument(a)
    options.add_experimental_option('prefs', {'intl.accept_languages': LANG})
    browser = webdriver.Chrome(service=Service(DRIVER), options=options)
    browser.execute_cdp_cmd('Network.enable', {})

    if screens:  # a livelier site for the pictures: fences on, a gate open
        token = json.loads(call('/api/site', 'operator')[1])['token']
        for address, zone in ((2, 1), (2, 2), (4, 1)):
            order = {'link': 'farm', 'address': address, 'zone': zone, 'action': 'on'}
            assert call('/api/zone', 'operator', json.dumps(order).encode(), token)[0] == 202
            wait_for('zone on', lambda: sim_says('state %d' % address, 'STATE').split()[2 * zone - 1].endswith('=1'), 5)
        sim_says('set gate 1 4', 'OK')

    # A viewer: every energizer on line, no buttons, forged switches refused.
    as_user('viewer')
    started = time.monotonic()
    browser.get(base + '/')
    wait_for('4 energizers on line', lambda: len(browser.find_elements(By.CSS_SELECTOR, '.card .zone')) >= 4 * 3, 10)
    print('first paint of the overview with 4 energizers: %.0f ms' % ((time.monotonic() - started) * 1000))
    assert len(cards()) == 4, [c.text for c in cards()]
    assert not browser.find_elements(By.CSS_SELECTOR, 'button[data-action]'), 'a viewer sees zone buttons'
    operator_token = json.loads(call('/api/site', 'operator')[1])['token']
    assert 'token' not in json.loads(call('/api/site', 'viewer')[1])
    switch = json.dumps({'link': 'farm', 'address': 1, 'zone': 1, 'action': 'off'}).encode()
    for token in (None, 'forged', operator_token):
        assert call('/api/zone', 'viewer', switch, token)[0] == 403, token
    assert call('/api/zone', 'operator', switch)[0] == 403, 'an operator without the token'

    # Silenced: off line on the open page, no reload.
    sim_says('silence 3', 'OK silence')
    silenced = time.monotonic()
    wait_for('energizer 3 off line on the page', lambda: 'offline' in card(3).get_attribute('class'), 5)
    print('off line shown %.1f s after silencing' % (time.monotonic() - silenced))
    assert len(cards()) == 4
    if screens:
        browser.save_screenshot(os.path.join(screens, 'web-overview%s.png' % SUFFIX))
    sim_says('resume 3', 'OK resume')

    # An operator switches zone 1 of energizer 1 on from the page (the simulator starts with it off).
    assert sim_says('state 1', 'STATE').startswith('STATE on1=0 ')
    as_user('operator')
    browser.get(base + '/')
    wait_for('zone buttons', lambda: browser.find_elements(By.CSS_SELECTOR, '.card[data-key="farm/1"] button[data-zone="1"][data-action="on"]'), 10)
    assert wait_for('zone 1 shown', lambda: zone1(1), 5) == OFF
    card(1).find_element(By.CSS_SELECTOR, 'button[data-zone="1"][data-action="on"]').click()
    wait_for('zone 1 on on the page', lambda: zone1(1) == ON, 10)
    assert sim_says('state 1', 'STATE').startswith('STATE on1=1 ')

    def zone_events():
        events = json.loads(call('/api/events?link=farm&address=1', 'viewer')[1])['events']
        return [e for e in events if e['kind'].startswith('zone_')]
    try:
        events = wait_for('the switch in the timeline', zone_events, 15)
    except AssertionError:
        sys.exit('no zone event in ' + call('/api/events?link=farm&address=1', 'viewer')[1].decode())
    assert [(e['kind'], e['detail'], e['who']) for e in events] == [('zone_on', '1', 'web:operator')], events

    # The page and MQTT switch energizer 4 at once: one queue, so neither undoes the other.
    wait_for('the gateway on the broker', lambda: 'connected to broker' in open(os.path.join(work, 'gateway.log')).read(), 10)
    subprocess.run(['mosquitto_pub', '-h', '127.0.0.1', '-p', str(broker_port), '-t', 'site/farm/4/zone/2/set', '-m', 'on'], check=True, timeout=5)
    token = json.loads(call('/api/site', 'operator')[1])['token']
    order = json.dumps({'link': 'farm', 'address': 4, 'zone': 1, 'action': 'on'}).encode()
    assert call('/api/zone', 'operator', order, token)[0] == 202
    try:
        wait_for('both zones of 4 on', lambda: sim_says('state 4', 'STATE').startswith('STATE on1=1 hv1=1 on2=1 '), 10)
    except AssertionError:
        sys.exit('%s; the gateway said:\n%s' % (sim_says('state 4', 'STATE'), open(os.path.join(work, 'gateway.log')).read()[-2000:]))

    # The trend draws each zone's alarm levels, read from the energizer's configuration.
    browser.set_window_size(1100, 1300)
    shown = 2 if screens else 1
    browser.get(base + '/energizer/farm/%d' % shown)
    wait_for('the alarm levels in the trend', lambda: len(browser.find_elements(By.CSS_SELECTOR, '#trend .u-legend .u-series')) == 9, 10)
    levels = json.loads(call('/api/trend?link=farm&address=%d&range=day' % shown, 'viewer')[1])['levels']
    assert [(l['zone'], l['kind'], l['volts']) for l in levels] == [(z, k, v) for z in (1, 2) for k, v in (('high', 2890), ('low', 680))], levels
    if screens:
        wait_for('the live chart', lambda: browser.find_elements(By.CSS_SELECTOR, '#live .uplot'), 10)
        time.sleep(1)  # the timeline's reply: nothing to wait on but its drawing
        browser.save_screenshot(os.path.join(screens, 'web-energizer%s.png' % SUFFIX))
    browser.quit()
    print('PASS')
finally:
    for p in children:
        if p.poll() is None:
            p.terminate()
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()
