"""The five message boxes in each user-interface language, read off the screen. A screenshot
of every box is saved under the artifacts folder, boxes/<locale>-<entry>.png."""

import unittest

import rig
import scenario
import standin_msi
from box_texts import TEXTS

# The locale the wineserver starts with, and the texts its user-interface language must get.
# es_ES makes Wine report 0x0C0A (Spanish, modern sort), as Spanish Windows does; de_CH is
# 0x0807 and en_GB 0x0809, country variants; it_IT is a language without texts of its own.
LOCALES = {
    "de_DE": "de", "en_US": "en", "es_ES": "es", "fr_FR": "fr", "nl_NL": "nl",
    "de_CH": "de", "en_GB": "en", "it_IT": "en",
}


class Languages(unittest.TestCase):
    def run_in(self, locale, installed, answers, expected, application=True):
        prefix = rig.Prefix(scenario.display(), locale=locale + ".UTF-8")
        service = rig.ReleaseService("8u472b08")
        try:
            service.installer = standin_msi.build("8.0.472.8", "fails").read_bytes()
            if application:
                prefix.install_application()
            if installed:
                prefix.install_runtime("8.0.422.5")
            entries = iter(expected)

            def screenshot(box):
                scenario.display().screenshot(rig.ARTIFACTS / "boxes" / f"{locale}-{next(entries)}.png")

            run = prefix.run_launcher(answers=answers, on_box=screenshot)
        finally:
            service.close()
            prefix.close()
        texts = TEXTS[LOCALES[locale]]
        self.assertEqual([(box.caption, box.text) for box in run.boxes], [texts[name] for name in expected])
        self.assertEqual([box.flashed for box in run.boxes], [True] * len(expected))
        self.assertEqual(run.exit_code, 1)

    def test_the_progress_window_in_the_five_languages(self):
        for locale in ("de_DE", "en_US", "es_ES", "fr_FR", "nl_NL"):
            with self.subTest(locale=locale):
                prefix = rig.Prefix(scenario.display(), locale=locale + ".UTF-8")
                service = rig.ReleaseService("8u472b08")
                seen = []

                def look():
                    window = None if seen else prefix.progress_window(0.2)
                    if window:
                        scenario.display().screenshot(rig.ARTIFACTS / "progress" / f"{locale}.png")
                        seen.append(window)
                try:
                    service.download = "slow"
                    service.installer = standin_msi.build("8.0.472.8").read_bytes()
                    prefix.install_application()
                    run = prefix.run_launcher(answers=["yes"], on_tick=look)
                finally:
                    service.close()
                    prefix.close()
                self.assertEqual(run.exit_code, 0)
                title, text = TEXTS[LOCALES[locale]]["download"]
                self.assertEqual((seen[0]["caption"], seen[0]["lines"][0]), (title, text))

    def test_every_box_in_every_language(self):
        for locale in LOCALES:
            with self.subTest(locale=locale):
                self.run_in(locale, installed=False, answers=["no", "ok"], expected=["noJava", "noRunJava"])
                self.run_in(locale, installed=True, answers=["yes", "ok"], expected=["newJava", "errorJava"])
                self.run_in(locale, installed=True, answers=["ok"], expected=["noApp"], application=False)


if __name__ == "__main__":
    unittest.main()
