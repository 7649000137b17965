#!/usr/bin/python3
"""The board's pages in a real headless Chromium: no script and no console errors; a course's standings in order
with equal times sharing a rank, the gap to the leader, pages of 50 with next and previous; the find form; each
course's outline, an empty course kept small; a lap page whose picture loads and whose advice races the lap as a
ghost. Usage: board_page.py URL COURSE EMPTY_COURSE RANK:NAME... (COURSE's standings, fastest first).
With TAVRELO_BOARD_SCREENSHOT set, saves the pages seen there."""
import os
import sys
import tempfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.common.exceptions import WebDriverException
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait


def need(condition, text):
    if not condition:
        print("FAIL: " + text)
        sys.exit(1)


def check(driver, where):
    errors = [entry["message"] for entry in driver.get_log("browser") if entry["level"] in ("SEVERE", "WARNING")]
    need(not errors, "console errors on %s: %r" % (where, errors))
    need(not driver.find_elements(By.TAG_NAME, "script") and "javascript:" not in driver.page_source,
         where + " holds a script")
    if os.environ.get("TAVRELO_BOARD_SCREENSHOT"):
        driver.save_screenshot(os.environ["TAVRELO_BOARD_SCREENSHOT"].replace(".png", "-%s.png" % where))


def follow(driver, element):
    """Clicks element and waits for the page it opens (a new page has a new window object)."""
    driver.execute_script("window.left = true")
    element.click()
    WebDriverWait(driver, 30, ignored_exceptions=(WebDriverException,)).until(
        lambda driver: driver.execute_script("return !window.left && document.readyState == 'complete'"))


def rows(driver, course):
    """Each row of the course's table as [rank, name, time, gap, date, highlighted]."""
    return driver.execute_script(
        "return Array.from(document.querySelectorAll(arguments[0])).map(r => Array.from(r.cells)"
        ".map(c => c.textContent).concat([r.className == 'found']))", "#course-%s tbody tr" % course)


def main():
    url, course, empty = sys.argv[1].rstrip("/"), sys.argv[2], sys.argv[3]
    expected = [argument.split(":", 1) for argument in sys.argv[4:]]
    with tempfile.TemporaryDirectory(prefix="tavrelo-chromium.") as profile:
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                     "--disable-component-update", "--disable-sync", "--no-first-run",
                     "--user-data-dir=" + profile, "--window-size=1280,1000"):
            options.add_argument(flag)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        section = "#course-%s " % course
        try:
            driver.set_page_load_timeout(30)
            driver.get(url + "/")
            need(driver.title == "Tavrelo board", "the page's title is %r" % driver.title)
            check(driver, "standings")
            first = rows(driver, course)
            need([row[:2] for row in first] == expected[:50], "course %s shows %r" % (course, first))
            gaps = {row[0]: row[3] for row in first}
            need(all(row[3] == gaps[row[0]] and (row[3] == "") == (row[0] == "1") for row in first),
                 "gaps %r for ranks %r" % ([row[3] for row in first], [row[0] for row in first]))
            heading = driver.find_element(By.CSS_SELECTOR, section + "h2").text
            need("%d entrants" % len(expected) in heading, "no count of entrants in %r" % heading)
            outlines = [svg.get_attribute("outerHTML") for svg in driver.find_elements(By.CSS_SELECTOR, "h2 svg")]
            need(len(set(outlines)) == 3 and all(svg.count(",") > 20 for svg in outlines), "outlines %r" % outlines)
            width = lambda name: driver.find_element(By.CSS_SELECTOR, "#course-%s" % name).size["width"]
            need(not driver.find_elements(By.CSS_SELECTOR, "#course-%s table" % empty) and
                 width(empty) * 2 < width(course), "the empty course is %d px wide" % width(empty))

            follow(driver, driver.find_element(By.CSS_SELECTOR, section + "a[rel=next]"))
            second = rows(driver, course)
            need([row[:2] for row in second] == expected[50:100] and second[0][3] == gaps[second[0][0]],
                 "the next page shows %r" % second)
            check(driver, "next")
            follow(driver, driver.find_element(By.CSS_SELECTOR, section + "a[rel=prev]"))
            need(rows(driver, course) == first, "the previous page is not the first")

            last, marked = expected[-1][1], next(name for rank, name in expected if "<" in name)
            for typed, found, page in (("Nobody", None, first), (marked, marked, first), (last.lower(), last, second)):
                driver.get(url + "/")
                driver.find_element(By.CSS_SELECTOR, section + "input[name=player]").send_keys(typed)
                follow(driver, driver.find_element(By.CSS_SELECTOR, section + "form button"))
                shown = rows(driver, course)
                highlighted = [row[1] for row in shown if row[5]]
                said = driver.find_element(By.CSS_SELECTOR, section + ".sought").text
                need(highlighted == ([found] if found else []) and [row[1] for row in shown] == [row[1] for row in page]
                     and (found is None) == ("No lap of %s" % typed in said),
                     "finding %r highlights %r on a page from %r and says %r" % (typed, highlighted, shown[0][1], said))
                check(driver, "find")

            driver.get(url + "/")
            rank, name = next((rank, name) for rank, name in expected if "%" in name)
            follow(driver, driver.find_element(By.CSS_SELECTOR, section).find_element(By.LINK_TEXT, name))
            title = driver.find_element(By.TAG_NAME, "h1").text
            need(title == name + " on Secundus", "the lap page is titled %r" % title)
            picture = driver.find_element(By.TAG_NAME, "img")
            loaded = driver.execute_script("return arguments[0].complete && arguments[0].naturalWidth", picture)
            need(loaded == 1024, "the lap's picture did not load (natural width %r)" % loaded)
            place = driver.find_element(By.ID, "place").text
            need(("Place %s, " % rank in place) != (rank == "1"), "the lap page says %r" % place)
            download = driver.find_element(By.PARTIAL_LINK_TEXT, "Download")
            advice = download.find_element(By.XPATH, "..").text
            need(download.get_attribute("href").startswith(url + "/api/v1/laps/") and "import" not in advice and
                 "tavrelo --ghost " + download.get_attribute("download") in advice,
                 "the download goes to %r with the advice %r" % (download.get_attribute("href"), advice))
            check(driver, "lap")
        finally:
            driver.quit()
    print("ok: %d laps in order, ranks shared, paged and found, the lap page's picture loaded" % len(expected))


main()
