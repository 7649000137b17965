#!/usr/bin/python3
"""The board's page in a real headless Chromium: no console errors, the seeded laps in order, a lap page whose
picture loads. Usage: board_page.py URL COURSE NAME... (the names of COURSE's standings, fastest first).
With TAVRELO_BOARD_SCREENSHOT set, saves the standings page there."""
import os
import sys
import tempfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By


def fail(text):
    print("FAIL: " + text)
    sys.exit(1)


def console_errors(driver):
    return [entry["message"] for entry in driver.get_log("browser") if entry["level"] in ("SEVERE", "WARNING")]


def main():
    url, course, names = sys.argv[1].rstrip("/"), sys.argv[2], sys.argv[3:]
    with tempfile.TemporaryDirectory(prefix="tavrelo-chromium.") as profile:
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                     "--disable-component-update", "--disable-sync", "--no-first-run",
                     "--user-data-dir=" + profile, "--window-size=1280,1000"):
            options.add_argument(flag)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        try:
            driver.set_page_load_timeout(30)
            driver.get(url + "/")
            if driver.title != "Tavrelo board":
                fail("the page's title is %r" % driver.title)
            if driver.find_elements(By.TAG_NAME, "script"):
                fail("the page holds a script")
            rows = driver.find_elements(By.CSS_SELECTOR, "#course-%s tbody tr" % course)
            shown = [row.find_elements(By.TAG_NAME, "td")[1].text for row in rows]
            if shown != names:
                fail("course %s shows %r, not %r" % (course, shown, names))
            ranks = [row.find_elements(By.TAG_NAME, "td")[0].text for row in rows]
            if ranks != [str(i + 1) for i in range(len(names))]:
                fail("ranks %r" % ranks)
            errors = console_errors(driver)
            if errors:
                fail("console errors on the standings: %r" % errors)
            if os.environ.get("TAVRELO_BOARD_SCREENSHOT"):
                driver.save_screenshot(os.environ["TAVRELO_BOARD_SCREENSHOT"])

            rows[-1].find_element(By.TAG_NAME, "a").click()
            picture = driver.find_element(By.TAG_NAME, "img")
            loaded = driver.execute_script("return arguments[0].complete && arguments[0].naturalWidth", picture)
            if loaded != 1024:
                fail("the lap's picture did not load (natural width %r)" % loaded)
            place = driver.find_element(By.ID, "place").text
            if len(names) > 1 and "behind the leader" not in place:
                fail("the lap page says %r" % place)
            download = driver.find_element(By.PARTIAL_LINK_TEXT, "Download")
            if not download.get_attribute("href").startswith(url + "/api/v1/laps/"):
                fail("the download link goes to %r" % download.get_attribute("href"))
            errors = console_errors(driver)
            if errors:
                fail("console errors on the lap page: %r" % errors)
            if os.environ.get("TAVRELO_BOARD_SCREENSHOT"):
                driver.save_screenshot(os.environ["TAVRELO_BOARD_SCREENSHOT"].replace(".png", "-lap.png"))
        finally:
            driver.quit()
    print("ok: %d laps in order, the lap page's picture loaded, no console errors" % len(names))


main()
