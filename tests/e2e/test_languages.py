"""The four message boxes in each user-interface language, read off the screen. A screenshot
of every box is saved under the artifacts folder, boxes/<locale>-<entry>.png."""

import unittest

import rig
import standin_msi

display = None

TEXTS = {
    "de": {
        "noJava": ("Keine Java-Version gefunden",
                   "Keine Java-Version in der Registrierung gefunden. Möchten Sie die aktuelle Version jetzt "
                   "installieren?"),
        "noRunJava": ("Fehler", "Die Anwendung kann nicht ohne installiertes Java ausgeführt werden. Die Anwendung "
                      "wird jetzt geschlossen."),
        "newJava": ("Neue Version", "Eine neuere Version von Java Temurin ist verfügbar. Möchten Sie es jetzt "
                    "herunterladen?"),
        "errorJava": ("Fehler", "Die Installation von Java ist fehlgeschlagen. Die Anwendung wird jetzt geschlossen."),
    },
    "en": {
        "noJava": ("No Java Version Found",
                   "No Java version found in the registry. Do you want to Install the current version now?"),
        "noRunJava": ("Error", "The application cannot run without Java installed. The application will now close."),
        "newJava": ("New Version", "A newer version of Java Temurin is availabe. Do you want to download it now?"),
        "errorJava": ("Error", "The installation of Java failed. The application will now close."),
    },
    "es": {
        "noJava": ("No se encontró ninguna versión de Java",
                   "No se encontró ninguna versión de Java en el registro. ¿Desea instalar la versión actual ahora?"),
        "noRunJava": ("Error", "La aplicación no puede ejecutarse sin Java instalado. La aplicación se cerrará ahora."),
        "newJava": ("Nueva versión",
                    "Hay disponible una versión más reciente de Java Temurin. ¿Desea descargarla ahora?"),
        "errorJava": ("Error", "La instalación de Java falló. La aplicación se cerrará ahora."),
    },
    "fr": {
        "noJava": ("Aucune version de Java trouvée",
                   "Aucune version de Java trouvée dans le registre. Voulez-vous installer la version actuelle "
                   "maintenant?"),
        "noRunJava": ("Erreur", "L'application ne peut pas fonctionner sans Java installé. L'application va "
                      "maintenant se fermer."),
        "newJava": ("Nouvelle version", "Une nouvelle version de Java Temurin est disponible. Voulez-vous le "
                    "télécharger maintenant?"),
        "errorJava": ("Erreur", "L'installation de Java a échoué. L'application va maintenant se fermer."),
    },
    "nl": {
        "noJava": ("Geen Java-versie gevonden",
                   "Geen Java-versie gevonden in het register. Wilt u de huidige versie nu installeren?"),
        "noRunJava": ("Fout", "De applicatie kan niet worden uitgevoerd zonder Java geïnstalleerd. De applicatie "
                      "wordt nu gesloten."),
        "newJava": ("Nieuwe versie", "Een nieuwere versie van Java Temurin is beschikbaar. Wilt u het nu downloaden?"),
        "errorJava": ("Fout", "De installatie van Java is mislukt. De applicatie wordt nu gesloten."),
    },
}

# The locale the wineserver starts with, and the texts its user-interface language must get.
# es_ES makes Wine report 0x0C0A (Spanish, modern sort), as Spanish Windows does; de_CH is
# 0x0807 and en_GB 0x0809, country variants; it_IT is a language without texts of its own.
LOCALES = {
    "de_DE": "de", "en_US": "en", "es_ES": "es", "fr_FR": "fr", "nl_NL": "nl",
    "de_CH": "de", "en_GB": "en", "it_IT": "en",
}


def setUpModule():
    global display
    display = rig.Display()
    rig.template_prefix(display)


def tearDownModule():
    display.close()


class Languages(unittest.TestCase):
    def run_in(self, locale, installed, answers, expected):
        prefix = rig.Prefix(display, locale=locale + ".UTF-8")
        service = rig.ReleaseService("8u432b06")
        try:
            service.installer = standin_msi.build("8.0.432.6", "fails").read_bytes()
            prefix.install_application()
            if installed:
                prefix.install_runtime("8.0.422.5")
            entries = iter(expected)

            def screenshot(box):
                display.screenshot(rig.ARTIFACTS / "boxes" / f"{locale}-{next(entries)}.png")

            run = prefix.run_launcher(answers=answers, on_box=screenshot)
        finally:
            service.close()
            prefix.close()
        texts = TEXTS[LOCALES[locale]]
        self.assertEqual([(box.caption, box.text) for box in run.boxes], [texts[name] for name in expected])
        self.assertEqual([box.flashed for box in run.boxes], [True] * len(expected))
        self.assertEqual(run.exit_code, 1)

    def test_every_box_in_every_language(self):
        for locale in LOCALES:
            with self.subTest(locale=locale):
                self.run_in(locale, installed=False, answers=["no", "ok"], expected=["noJava", "noRunJava"])
                self.run_in(locale, installed=True, answers=["yes", "ok"], expected=["newJava", "errorJava"])


if __name__ == "__main__":
    unittest.main()
