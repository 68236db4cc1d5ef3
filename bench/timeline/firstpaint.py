#!/usr/bin/python3
"""First paint of the gateway's overview in headless Chromium: prints the
Performance API's first-contentful-paint and the time until every energizer's
card is on the page. Usage: firstpaint.py URL ENERGIZERS (loopback only)."""
import os, sys, tempfile, time
from selenium import webdriver
from selenium.webdriver.chrome.service import Service

url, count = sys.argv[1], int(sys.argv[2])
options = webdriver.ChromeOptions()
options.binary_location = '/usr/bin/chromium'
for a in ('--headless=new', '--no-sandbox', '--disable-gpu', '--window-size=1100,900', '--lang=en-GB',
          '--host-resolver-rules=MAP * ~NOTFOUND , EXCLUDE 127.0.0.1', '--user-data-dir=' + tempfile.mkdtemp(prefix='firstpaint.')):
    options.add_argument(a)
browser = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
try:
    runs = []
    for _ in range(3):  # the first with a cold cache
        browser.get(url)
        end = time.monotonic() + 20
        # Counted in the page: fetching a thousand elements through the driver would be the figure.
        while time.monotonic() < end:
            shown, cards = browser.execute_script("return [document.querySelectorAll('.card').length, performance.now()]")
            if shown >= count:
                break
            time.sleep(0.01)
        paint = browser.execute_script(
            "const p = performance.getEntriesByName('first-contentful-paint')[0]; return p ? p.startTime : -1")
        runs.append((paint, cards, shown))
    print(' '.join('%.0f/%.0f/%d' % r for r in runs))
finally:
    browser.quit()
