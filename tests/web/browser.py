"""The page served from a folder and opened in Debian's headless Chromium,
for tests/web/check-page and bench/web-pace."""
import functools
import http.server
import sys
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def open_page(folder, width, height, query="", downloads=None):
    """Chromium showing folder/index.html at a page size of width x height;
    returns the driver and the server, both to be shut down."""
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(QuietHandler, directory=folder))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for arg in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--use-gl=swiftshader",
                "--enable-unsafe-swiftshader", "--autoplay-policy=no-user-gesture-required"):
        options.add_argument(arg)
    if downloads:
        options.add_experimental_option("prefs", {"download.default_directory": downloads,
                                                  "download.prompt_for_download": False})
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver = webdriver.Chrome(options=options, service=Service(executable_path="/usr/bin/chromedriver"))
    # The page's own size, whatever the window around it takes.
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": False})
    driver.get(f"http://127.0.0.1:{server.server_address[1]}/index.html{query}")
    return driver, server


def stage(driver):
    """What the game is at, as the page says: splash, playing or ended."""
    return driver.execute_script("return document.body.dataset.stage || ''")


def wait_for(driver, what, test, limit_s):
    """Waits for test() to hold; exits naming what was not seen, with the page's log."""
    end = time.monotonic() + limit_s
    while time.monotonic() < end:
        if test():
            return
        time.sleep(0.05)
    logs = "\n".join(entry["message"] for entry in driver.get_log("browser"))
    sys.exit(f"{what} not seen within {limit_s} s\n{logs}")
