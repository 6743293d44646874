#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# The phone's side of the phone tally's end-to-end test: headless Chromium in a phone's
# screen, driven by Selenium, tapping the page the desk serves. It prints "STEP <name>" when
# the desk should look or act, and waits for "go [text]" on its input. Every wait is bounded.
# Usage: browser.py ADDRESS
import concurrent.futures
import json
import os
import shutil
import sys
import tempfile
import threading
import time
import urllib.error
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By

ADDRESS = sys.argv[1]
DRIVERS = []


def phone():
    options = webdriver.ChromeOptions()
    options.binary_location = shutil.which("chromium") or "/usr/bin/chromium"
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                 "--user-data-dir=" + tempfile.mkdtemp(prefix="logora-phone-")):
        options.add_argument(flag)
    options.add_experimental_option("mobileEmulation", {
        "deviceMetrics": {"width": 390, "height": 844, "pixelRatio": 3},
        "userAgent": "Mozilla/5.0 (Linux; Android 13; Pixel 7) AppleWebKit/537.36 "
                     "(KHTML, like Gecko) Chrome/120.0 Mobile Safari/537.36"})
    driver = webdriver.Chrome(service=Service(shutil.which("chromedriver") or "/usr/bin/chromedriver"),
                              options=options)
    DRIVERS.append(driver)
    return driver


def until(what, check, seconds=20):
    end = time.time() + seconds
    while time.time() < end:
        try:
            if check():
                return
        except Exception:  # the page is between two renderings
            pass
        time.sleep(0.05)
    raise SystemExit("timed out waiting for " + what)


CHANNEL = os.environ.get("LOGORA_PHONE_CHANNEL")
ANSWERED = [0]


def answer():
    # Through two files when the desk is a Windows program under Wine, else through stdin.
    if not CHANNEL:
        return sys.stdin.readline().strip()
    end = time.time() + 60
    while time.time() < end:
        with open(os.path.join(CHANNEL, "answers"), encoding="utf-8") as f:
            lines = f.read().splitlines()
        if len(lines) > ANSWERED[0]:
            ANSWERED[0] += 1
            return lines[ANSWERED[0] - 1].strip()
        time.sleep(0.05)
    return "(no answer)"


def step(name):
    print("STEP " + name, flush=True)
    if CHANNEL:
        with open(os.path.join(CHANNEL, "steps"), "a", encoding="utf-8") as f:
            f.write("STEP " + name + "\n")
    line = answer()
    if not line.startswith("go"):
        raise SystemExit("the desk said " + line)
    return line[3:]


def act(driver, selector):
    # A thumb on the button as it is now: the page draws its buttons anew as counts arrive.
    def press():
        button = driver.find_element(By.CSS_SELECTOR, selector)
        driver.execute_script("arguments[0].scrollIntoView({block: 'center'})", button)
        button.click()
        return True
    until("to press " + selector, press)


def tap(driver, group, cls, times=1):
    for _ in range(times):
        act(driver, '[data-group="%d"][data-class="%s"]' % (group, cls))


def pending(driver):
    return int(driver.find_element(By.CSS_SELECTOR, '[data-field="pending"]').get_attribute("data-count"))


def synced(driver):
    until("the taps to be confirmed", lambda: pending(driver) == 0)


def notice(driver):
    return driver.find_element(By.CSS_SELECTOR, '[data-field="notice-text"]').text


def status(request):
    try:
        with urllib.request.urlopen(request, timeout=5) as r:
            return r.status
    except urllib.error.HTTPError as e:
        return e.code


def main():
    a = phone()
    a.get(ADDRESS)
    tap(a, 0, "8", 3)
    act(a, '[data-action="undo"]')
    for key in ("2", "4"):
        act(a, '[data-key="%s"]' % key)
    act(a, '[data-action="log"]')
    synced(a)
    step("tapped")

    # The desk stops listening: taps wait on the phone, counted, and go when it is back.
    step("close")
    tap(a, 0, "8", 3)
    until("未同步 3", lambda: "未同步 3" in a.find_element(By.CSS_SELECTOR, '[data-field="pending"]').text)
    step("reopen")
    synced(a)
    until("the page to show the desk's count",
          lambda: a.find_element(By.CSS_SELECTOR, '[data-group="0"][data-class="8"]').get_attribute("data-count") == "5")
    step("offline-done")

    # Two phones tap one class at once.
    b = phone()
    b.get(ADDRESS)
    for driver in (a, b):
        act(driver, '[data-action="group"][data-group="1"]')
    threads = [threading.Thread(target=tap, args=(d, 1, "10", 15)) for d in (a, b)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    synced(a)
    synced(b)
    step("two")

    # The code renewed at the desk: this page is told so and keeps what it holds.
    renewed = step("renew")
    act(a, '[data-action="group"][data-group="0"]')
    tap(a, 0, "12", 2)
    until("the renewal to be said", lambda: "换" in notice(a))
    if pending(a) != 2:
        raise SystemExit("the page shows %d taps waiting, not 2" % pending(a))
    a.get(renewed)
    until("the offer of the earlier code's taps",
          lambda: a.find_element(By.CSS_SELECTOR, '[data-action="adopt"]').is_displayed())
    act(a, '[data-action="adopt"]')
    synced(a)
    step("renewed")

    # What no phone sends: all refused, nothing applied.
    base = renewed.rsplit("/p/", 1)[0]
    token = renewed.rsplit("/", 1)[1]
    post = lambda path, body: urllib.request.Request(base + path, data=body, method="POST",
                                                     headers={"Content-Type": "application/json"})
    tapped = lambda t: json.dumps({"phone": "x1", "taps": [t]}).encode()
    codes = [
        status(base + "/p/00000000000000000000000000000000/state"),
        status(post("/p/%s/taps" % token, b'{"phone":"x1","taps":[')),
        status(post("/p/%s/taps" % token, tapped({"id": "z1", "op": "add", "group": 0, "class": "9", "n": 1}))),
        status(post("/p/%s/taps" % token, tapped({"id": "z2", "op": "add", "group": 9, "class": "8", "n": 1}))),
        status(post("/p/%s/taps" % token, tapped({"id": "z3", "op": "add", "group": 0, "class": "8", "n": -1}))),
        status(post("/p/%s/taps" % token, b"{" + b" " * 5000 + b"}")),
        status(base + "/etc/passwd"),
    ]
    if codes != [403, 400, 400, 400, 400, 413, 404]:
        raise SystemExit("refusals: %s" % codes)
    # A hundred requests at once: beyond the burst of 40 and 20 a second, refused.
    started = time.time()
    with concurrent.futures.ThreadPoolExecutor(max_workers=50) as pool:
        flood = list(pool.map(lambda _: status(base + "/p/%s/state" % token), range(100)))
    took = time.time() - started
    refused = flood.count(429)
    if refused == 0 or refused < 100 - (40 + 20 * took) - 5:
        raise SystemExit("%d of a hundred requests in %.1f s refused" % (refused, took))
    step("abuse")
    print("DONE", flush=True)


try:
    main()
finally:
    for d in DRIVERS:
        d.quit()
