#!/usr/bin/python3
"""The monitor's status texts in the interface's language, end to end; German,
which the monitor lacks, keeps them English beside the window's German."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import Desktop, run_tests  # noqa: E402

# locale -> (the monitor's text at authentication, the window's "Connected")
CASES = {
    "hr_HR.UTF-8": ("modem ttyUSB0 Počinje provjera podataka", "Spojeni smo"),
    "de_DE.UTF-8": ("modem ttyUSB0 The authentication process is starting", "Verbunden"),
}


def test_status_texts_follow_the_language(binary):
    # The label's texts come in the log: the monitor's stands there only
    # within the poll that enters a stage, before "Connected" follows.
    for locale, (authenticating, connected) in CASES.items():
        env = {"LANG": locale, "LANGUAGE": "", "LC_ALL": "", "LC_MESSAGES": "",
               "QT_LOGGING_RULES": "bv.ui.main.debug=true"}
        with Desktop(faketime=None, env=env) as d:
            office = d.add_profile("Office", number="555-0100")
            dev = d.add_device("modem0", "ttyUSB0", d.DEVICE_MODEM)
            d.start_program(binary)
            d.wait_for(d.tray_icons, what="the tray icon")

            def shown():
                return [line.split("status: ", 1)[1].strip().strip('"')
                        for line in d.log("program").splitlines() if "status: " in line]

            ac = d.add_active([dev], office, state=d.AC_ACTIVATING)
            d.set_device_state(dev, d.DEV_NEED_AUTH)
            d.wait_for(lambda: authenticating in shown(), what="%r (%r)" % (authenticating, shown()))
            d.set_active_state(ac, d.AC_ACTIVATED)
            d.wait_for(lambda: shown()[-1] == connected, what="%r (%r)" % (connected, shown()))


if __name__ == "__main__":
    run_tests()
