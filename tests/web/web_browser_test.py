#!/usr/bin/python3
"""The web page in a real browser (Chromium, driven by Selenium) against
vaxoctl run --simulate --web: sign in, change the station, send, watch the
on-air view change by itself, sign out.

    web_browser_test.py VAXOCTL [--screenshots DIR]
    web_browser_test.py --wine VAXOCTL.EXE      the same, vaxoctl.exe under Wine
"""
import os
import re
import shutil
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import web_live_test as web  # noqa: E402
from web_live_test import live  # noqa: E402

try:
    from selenium import webdriver
    from selenium.common.exceptions import NoAlertPresentException, WebDriverException
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:
    webdriver = None

SCREENSHOTS = None
CHROMIUM, CHROMEDRIVER = "/usr/bin/chromium", "/usr/bin/chromedriver"


def browser(width=1280, height=900):
    options = webdriver.ChromeOptions()
    for argument in ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--force-device-scale-factor=1", "--window-size=%d,%d" % (width, height)]:
        options.add_argument(argument)
    options.binary_location = CHROMIUM
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    # chromedriver takes a port Selenium found free a moment earlier; beside
    # the other tests running at the same time that port is sometimes gone
    # again, and chromedriver then exits at once. A fresh port is tried.
    with tempfile.TemporaryDirectory() as folder:
        log = os.path.join(folder, "chromedriver.log")
        for attempt in range(3):
            try:
                return webdriver.Chrome(service=Service(CHROMEDRIVER, log_path=log),
                                        options=options)
            except WebDriverException:
                if attempt == 2:
                    with open(log, errors="replace") as text:
                        sys.stderr.write("chromedriver said:\n" + text.read()[-4000:])
                    raise
                time.sleep(0.5)


@unittest.skipIf(webdriver is None or not os.path.exists(CHROMEDRIVER),
                 "python3-selenium or chromium-driver is missing")
class WebBrowser(unittest.TestCase):
    def setUp(self):
        self.run_ = web.WebRunning("--simulate", "--web", "127.0.0.1:0", viewer=True)
        self.addCleanup(self.run_.close)
        self.base = "http://127.0.0.1:%d" % self.run_.web_port
        self.driver = browser()
        self.addCleanup(self.driver.quit)
        self.wait = WebDriverWait(self.driver, 60)  # a guard against a hang, not a measure

    def sign_in(self, password=web.PASSWORD):
        self.driver.get(self.base + "/onair")
        self.assertTrue(self.driver.current_url.endswith("/signin"), "sent to sign in first")
        field = self.driver.find_element(By.ID, "password")
        field.send_keys(password + Keys.ENTER)  # the plain form, from the keyboard

    def field(self, name):
        return self.driver.find_element(By.CSS_SELECTOR, '#fields [name="%s"]' % name)

    def change(self, name, value):
        """Types over the field as a user would (one change event, at the Tab)
        and waits for the page's verdict; answers the field and its note."""
        element = self.field(name)
        element.send_keys(Keys.CONTROL + "a")
        element.send_keys(value + Keys.TAB)
        self.wait.until(lambda _: element.get_attribute("aria-invalid") is not None)
        return element, self.driver.find_element(By.ID, element.get_attribute("aria-describedby"))

    def assert_taken(self, name, value):
        element, _ = self.change(name, value)
        self.assertEqual(element.get_attribute("aria-invalid"), "false", name + " taken")

    def view_text(self, bank, key):
        return self.driver.execute_script(
            "const e = document.querySelector('#bank-%d [data-k=\"%s\"]');"
            "return e ? e.textContent : null;" % (bank, key))

    def assert_no_console_errors(self):
        # A refusal is one of the API's answers (its status says what kind), as is a
        # send that failed (502).
        refusal = re.compile(r"/api/\S+ - Failed to load resource: the server responded with a "
                             r"status of (400|403|409|422|502)")
        severe = [entry["message"] for entry in self.driver.get_log("browser")
                  if entry["level"] == "SEVERE" and "status of 401" not in entry["message"]
                  and not refusal.search(entry["message"])]
        self.assertEqual(severe, [], "the page runs within its Content-Security-Policy")

    def test_an_operator_changes_the_station_sends_and_watches_it_go_on_air(self):
        self.sign_in("not-the-password")
        self.wait.until(lambda d: "Wrong password." in d.page_source)
        self.driver.find_element(By.ID, "password").send_keys(web.PASSWORD + Keys.ENTER)
        self.wait.until(lambda d: d.current_url.endswith("/onair"))
        on_air = self.driver.current_window_handle
        self.driver.execute_script("window.notReloaded = true;")

        self.driver.switch_to.new_window("tab")
        self.driver.get(self.base + "/station")
        self.wait.until(lambda _: self.field("PS").get_attribute("value") == "FM RADIO")
        self.assert_taken("PS", "<script>")
        self.assert_taken("RT", "Hello from the web page")
        pi, refused = self.change("PI", "XYZ1")
        self.assertEqual(pi.get_attribute("aria-invalid"), "true")
        self.assertIn("PI takes four hexadecimal digits", refused.text)
        self.driver.find_element(By.CSS_SELECTOR, 'button[data-send="1"]').click()
        self.wait.until(lambda d: re.match(r"On air in bank 1 at \d\d:\d\d:\d\d$",
                                           d.find_element(By.ID, "toast").text))
        self.save_screenshots("station")

        self.driver.switch_to.window(on_air)
        self.wait.until(lambda _: self.view_text(1, "ps") == "<script>")
        self.wait.until(lambda _: "Hello from the web page" in (self.view_text(1, "rt") or ""))
        self.assertNotEqual(self.view_text(1, "pi"), "XYZ1")
        self.assertTrue(self.driver.execute_script("return window.notReloaded === true;"),
                        "the view changed by itself, without a reload")
        self.assertEqual(len(self.driver.find_elements(By.TAG_NAME, "script")), 1)
        with self.assertRaises(NoAlertPresentException):
            self.driver.switch_to.alert.text
        self.save_screenshots("onair")
        self.driver.get(self.base + "/settings")
        self.wait.until(lambda d: d.find_element(By.ID, "record-1").text.startswith("PS=<script>"))
        self.save_screenshots("settings")
        self.assert_no_console_errors()

        self.driver.find_element(By.CSS_SELECTOR, "form.signout button").click()
        self.wait.until(lambda d: d.current_url.endswith("/signin"))
        self.save_screenshots("signin")
        self.driver.get(self.base + "/station")
        self.assertTrue(self.driver.current_url.endswith("/signin"), "signed out")

    def test_a_viewer_sees_the_station_but_cannot_change_it(self):
        self.sign_in(web.VIEWER_PASSWORD)
        self.wait.until(lambda d: d.current_url.endswith("/onair"))
        self.driver.get(self.base + "/station")
        self.wait.until(lambda _: self.field("PS").get_attribute("value") == "FM RADIO")
        self.assertFalse(self.field("PS").is_enabled())
        self.assertFalse(self.driver.find_element(By.CSS_SELECTOR,
                                                  'button[data-send="1"]').is_enabled())
        self.assert_no_console_errors()

    def test_a_page_of_another_site_neither_signs_in_nor_locks_out(self):
        form = ("data:text/html,<form method=post action='%s/signin'>"
                "<input name=password value='%s'></form>"
                "<script>document.forms[0].submit()</script>")
        for password in ["guess-%d" % n for n in range(5)] + [web.PASSWORD]:
            self.driver.get(form % (self.base, password))
            self.wait.until(lambda d: "came from another site" in d.page_source)
        self.sign_in()
        self.wait.until(lambda d: d.current_url.endswith("/onair"))

    def test_keys_stepping_through_a_list_apply_only_where_they_rest(self):
        watcher = self.run_.sign_in()
        self.sign_in()
        self.wait.until(lambda d: d.current_url.endswith("/onair"))
        self.driver.get(self.base + "/station")
        self.wait.until(lambda _: self.field("PS").get_attribute("value") == "FM RADIO")
        before = watcher.state()["fields"]
        pty = self.field("PTY")
        pty.send_keys(Keys.ARROW_DOWN, Keys.ARROW_DOWN, Keys.ARROW_DOWN)
        radio = self.driver.find_element(By.CSS_SELECTOR, '#fields [name="SELRT"][value="1"]')
        radio.click()
        radio.send_keys(Keys.ARROW_DOWN, Keys.ARROW_DOWN)
        rested = before["PTY"] + 3
        self.wait.until(lambda _: watcher.state()["fields"]["PTY"] == rested)  # the list left
        self.wait.until(lambda _: watcher.state()["fields"]["SELRT"] == 3)  # after a pause
        passed = ["PTY=%d" % (before["PTY"] + step) for step in (1, 2)] + ["SELRT=2"]
        for line in passed:
            self.assertNotIn('"%s"' % line, self.run_.output(), "never applied on the way")

    def test_a_failed_send_is_told_with_its_reason_until_dismissed(self):
        self.run_.close()  # one instance at a time (on Windows, a second hands over)
        self.run_ = web.WebRunning("--simulate=absent", "--web", "127.0.0.1:0")
        self.addCleanup(self.run_.close)
        self.base = "http://127.0.0.1:%d" % self.run_.web_port
        self.sign_in()
        self.wait.until(lambda d: d.current_url.endswith("/onair"))
        self.driver.get(self.base + "/station")
        self.wait.until(lambda _: self.field("PS").get_attribute("value") == "FM RADIO")
        self.driver.find_element(By.CSS_SELECTOR, 'button[data-send="1"]').click()
        toast = self.driver.find_element(By.ID, "toast")
        self.wait.until(lambda _: toast.text.startswith("Not on air: the encoder did not answer"))
        health = self.driver.find_element(By.ID, "health-link")
        self.wait.until(lambda _: health.get_attribute("class") == "health-bad")
        self.assertIn("failed", health.text)
        time.sleep(5.5)  # longer than news stays
        self.assertIn("show", toast.get_attribute("class"), "a failure stays")
        self.save_screenshots("send-failed")
        toast.click()
        self.assertNotIn("show", toast.get_attribute("class"))

        # The alarms it raised: on every page's health line, and on the
        # Alarms page, where the operator acknowledges them by name.
        alarms = self.driver.find_element(By.ID, "health-alarms")
        self.wait.until(lambda _: alarms.is_displayed())
        self.driver.get(self.base + "/alarms")
        table = self.driver.find_element(By.ID, "alarms-active")
        self.wait.until(lambda _: "Sends failing" in table.text
                        and "Encoder not answering" in table.text)
        self.assertIn("the encoder did not answer", table.text)
        button = table.find_element(By.CSS_SELECTOR, 'button[aria-label="Acknowledge Sends failing"]')
        button.click()
        self.wait.until(lambda _: "by web 127.0.0.1" in table.text)
        history = self.driver.find_element(By.ID, "alarms-history")
        self.wait.until(lambda _: "acknowledged" in history.text)
        self.save_screenshots("alarms")
        self.assert_no_console_errors()

    def open_station(self):
        self.sign_in()
        self.wait.until(lambda d: d.current_url.endswith("/onair"))
        self.driver.get(self.base + "/station")
        self.wait.until(lambda _: self.field("PS").get_attribute("value") == "FM RADIO")

    def test_a_refused_value_stays_while_fields_not_edited_follow_the_service(self):
        other = self.run_.sign_in()
        self.open_station()
        pi, note = self.change("PI", "XYZ1")
        other.set_fields({"PI": "D3C9", "PS": "OTHERS"})
        self.wait.until(lambda _: self.field("PS").get_attribute("value") == "OTHERS")
        self.assertEqual(pi.get_attribute("value"), "XYZ1", "the refused value stays")
        self.assertIn("four hexadecimal digits", note.text)
        pi.click()
        pi.send_keys(Keys.ESCAPE)
        self.assertEqual(pi.get_attribute("value"), "D3C9", "abandoned: the service's value")
        self.assertEqual(pi.get_attribute("aria-invalid"), "false")
        self.driver.find_element(By.ID, "TA").click()  # PI left: it follows again
        other.set_fields({"PI": "D3C2"})
        self.wait.until(lambda _: pi.get_attribute("value") == "D3C2")

    def test_an_edit_begun_before_anothers_change_is_refused_and_offered(self):
        other = self.run_.sign_in()
        self.open_station()
        ps = self.field("PS")
        ps.click()
        other.set_fields({"PS": "THEIRS"})
        ps.send_keys(Keys.CONTROL + "a")
        ps.send_keys("MINE" + Keys.TAB)
        note = self.wait.until(lambda d: d.find_element(By.CSS_SELECTOR, ".verdict.bad button"))
        self.assertIn('PS is now "THEIRS", set by web 127.0.0.1',
                      self.driver.find_element(By.CSS_SELECTOR, ".verdict.bad").text)
        self.assertEqual(other.state()["fields"]["PS"], "THEIRS", "nothing undone unseen")
        self.save_screenshots("station-clash")
        # News that come after the refusal, with the focus elsewhere, leave
        # the refused value for the offer to apply.
        other.set_fields({"PS": "LATER", "RT": "Later news"})
        self.wait.until(lambda _: self.field("RT").get_attribute("value") == "Later news")
        self.assertEqual(ps.get_attribute("value"), "MINE")
        note.click()
        self.wait.until(lambda _: other.state()["fields"]["PS"] == "MINE")

    def test_fields_not_on_air_yet_are_marked_until_sent(self):
        self.run_.close()
        self.run_ = web.WebRunning("--simulate", "--web", "127.0.0.1:0",
                                   "--min-send-interval", "3600", "--text-tcp", "127.0.0.1:0")
        self.addCleanup(self.run_.close)
        self.base = "http://127.0.0.1:%d" % self.run_.web_port
        self.open_station()
        pending = self.driver.find_element(By.ID, "pending")
        self.wait.until(lambda _: "has not been written in this run" in pending.text)
        health = self.driver.find_element(By.ID, "health-link")
        self.assertEqual(health.get_attribute("class"), "health-unknown")
        send = self.driver.find_element(By.CSS_SELECTOR, 'button[data-send="1"]')
        send.click()
        self.wait.until(lambda _: not pending.is_displayed())
        self.wait.until(lambda _: health.get_attribute("class") == "health-good")
        # A client's change waits the hour between its sends.
        self.assertEqual(self.run_.text_command("PS=LATER"), "+")
        self.wait.until(lambda _: self.field("PS").get_attribute("value") == "LATER")
        self.wait.until(lambda _: "Not on air yet in bank 1: PS." in pending.text)
        marked = self.driver.find_elements(By.CSS_SELECTOR, "#fields .pending")
        self.assertEqual([m.find_element(By.TAG_NAME, "label").text for m in marked],
                         ["Default PS"])
        self.save_screenshots("station-pending")
        self.driver.get(self.base + "/onair")
        holds = self.driver.find_element(By.CSS_SELECTOR, "#bank-1 .holds")
        self.wait.until(lambda _: holds.text == "Not yet on air here: PS")
        self.assertIn("Unknown since start", self.driver.find_element(By.ID, "bank-2").text)
        self.save_screenshots("onair-pending")
        self.driver.get(self.base + "/station")
        self.driver.find_element(By.CSS_SELECTOR, 'button[data-send="1"]').click()
        pending = self.driver.find_element(By.ID, "pending")
        self.wait.until(lambda _: not pending.is_displayed())
        self.assertEqual(self.driver.find_elements(By.CSS_SELECTOR, "#fields .pending"), [])
        self.assert_no_console_errors()

    def test_characters_that_turn_text_around_are_shown_written_out(self):
        # A station file whose name would read "exe.rds" with the override
        # at work, and a refused key with one in it.
        with open(os.path.join(self.run_.folder, "\u202Esdr.exe.rds"), "w") as f:
            f.write("PS=TURNED\r\n")
        self.sign_in()
        self.wait.until(lambda d: d.current_url.endswith("/onair"))
        self.driver.get(self.base + "/station")
        self.wait.until(lambda d: d.find_elements(By.CSS_SELECTOR, "#load-name option"))
        names = [o.text for o in self.driver.find_elements(By.CSS_SELECTOR, "#load-name option")]
        if not live.RUN_PREFIX:  # Windows' code page holds no such name: not listed there
            self.assertIn("\\u{202E}sdr.exe.rds", names)
        status = self.driver.execute_async_script("""
            const done = arguments[arguments.length - 1];
            fetch("/api/fields", {method: "POST", credentials: "same-origin",
                  headers: {"Content-Type": "application/json", "X-CSRF-Token":
                            document.querySelector('meta[name="csrf-token"]').content},
                  body: JSON.stringify({fields: {"PS\u202E\u2066": "X"}})})
                .then((r) => done(r.status));""")
        self.assertEqual(status, 422, "no field has that key")
        self.driver.get(self.base + "/log")
        self.wait.until(lambda d: "PS\\u{202E}\\u{2066}" in d.find_element(By.ID, "log").text)
        shown = self.driver.find_element(By.ID, "log").text + " ".join(names)
        self.assertNotIn("\u202E", shown)
        self.assertNotIn("\u2066", shown)
        self.assert_no_console_errors()

    def test_a_refusal_can_be_read_in_light_and_dark(self):
        self.sign_in()
        self.wait.until(lambda d: d.current_url.endswith("/onair"))
        for scheme in ["light", "dark"]:
            self.driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"features": [
                {"name": "prefers-color-scheme", "value": scheme}]})
            ratio = self.driver.execute_script("""
                const toast = document.getElementById("toast");
                toast.className = "toast show bad";
                const style = getComputedStyle(toast);
                const luminance = (color) => {
                    const [r, g, b] = color.match(/\\d+/g).slice(0, 3).map((c) => {
                        c /= 255;
                        return c <= 0.03928 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4;
                    });
                    return 0.2126 * r + 0.7152 * g + 0.0722 * b;
                };
                const [a, b] = [luminance(style.color), luminance(style.backgroundColor)];
                return (Math.max(a, b) + 0.05) / (Math.min(a, b) + 0.05);""")
            self.assertGreaterEqual(ratio, 4.5, scheme + ": WCAG AA contrast")

    def save_screenshots(self, name):
        """Light and dark at a desktop's width, and at a phone's."""
        if not SCREENSHOTS:
            return
        driver = self.driver
        for scheme, width in [("light", 1280), ("dark", 1280), ("phone", 390)]:
            driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"features": [
                {"name": "prefers-color-scheme", "value": "dark" if scheme == "dark" else "light"}]})
            driver.set_window_size(width, 900)
            time.sleep(0.3)
            height = driver.execute_script("return document.documentElement.scrollHeight")
            driver.set_window_size(width, min(max(height, 600), 3000))
            time.sleep(0.3)
            driver.save_screenshot(os.path.join(SCREENSHOTS, "%s-%s.png" % (name, scheme)))
        driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"features": []})
        driver.set_window_size(1280, 900)


def main():
    global SCREENSHOTS
    arguments = sys.argv[1:]
    if arguments[:1] == ["--wine"]:
        wine = shutil.which("wine64") or "/usr/lib/wine/wine64"
        if not os.path.exists(wine):
            print("SKIPPED the web page under Wine: wine64 is missing")
            return
        live.RUN_PREFIX = [wine]
        arguments.pop(0)
    live.VAXOCTL = os.path.abspath(arguments.pop(0))
    if arguments[:1] == ["--screenshots"]:
        SCREENSHOTS = os.path.abspath(arguments[1])
        os.makedirs(SCREENSHOTS, exist_ok=True)
        arguments = arguments[2:]
    unittest.main(argv=[sys.argv[0], *arguments], verbosity=2)


if __name__ == "__main__":
    main()
