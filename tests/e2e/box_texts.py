"""What the five message boxes must say, caption and text, in each of the five languages."""

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
        "noApp": ("Fehler", "Die Installation der Anwendung wurde nicht gefunden. Die Anwendung wird jetzt geschlossen."),
        "download": ("Java wird heruntergeladen", "Java Temurin 8u472b08 wird heruntergeladen."),
    },
    "en": {
        "noJava": ("No Java Version Found",
                   "No Java version found in the registry. Do you want to Install the current version now?"),
        "noRunJava": ("Error", "The application cannot run without Java installed. The application will now close."),
        "newJava": ("New Version", "A newer version of Java Temurin is availabe. Do you want to download it now?"),
        "errorJava": ("Error", "The installation of Java failed. The application will now close."),
        "noApp": ("Error", "The installation of the application was not found. The application will now close."),
        "download": ("Downloading Java", "Downloading Java Temurin 8u472b08."),
    },
    "es": {
        "noJava": ("No se encontró ninguna versión de Java",
                   "No se encontró ninguna versión de Java en el registro. ¿Desea instalar la versión actual ahora?"),
        "noRunJava": ("Error", "La aplicación no puede ejecutarse sin Java instalado. La aplicación se cerrará ahora."),
        "newJava": ("Nueva versión",
                    "Hay disponible una versión más reciente de Java Temurin. ¿Desea descargarla ahora?"),
        "errorJava": ("Error", "La instalación de Java falló. La aplicación se cerrará ahora."),
        "noApp": ("Error", "No se encontró la instalación de la aplicación. La aplicación se cerrará ahora."),
        "download": ("Descargando Java", "Descargando Java Temurin 8u472b08."),
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
        "noApp": ("Erreur", "L'installation de l'application est introuvable. L'application va maintenant se fermer."),
        "download": ("Téléchargement de Java", "Téléchargement de Java Temurin 8u472b08."),
    },
    "nl": {
        "noJava": ("Geen Java-versie gevonden",
                   "Geen Java-versie gevonden in het register. Wilt u de huidige versie nu installeren?"),
        "noRunJava": ("Fout", "De applicatie kan niet worden uitgevoerd zonder Java geïnstalleerd. De applicatie "
                      "wordt nu gesloten."),
        "newJava": ("Nieuwe versie", "Een nieuwere versie van Java Temurin is beschikbaar. Wilt u het nu downloaden?"),
        "errorJava": ("Fout", "De installatie van Java is mislukt. De applicatie wordt nu gesloten."),
        "noApp": ("Fout", "De installatie van de applicatie is niet gevonden. De applicatie wordt nu gesloten."),
        "download": ("Java downloaden", "Java Temurin 8u472b08 wordt gedownload."),
    },
}
