// The prompt texts and their selection by user-interface language.
#include "prompt_texts.h"

#include <algorithm>
#include <iterator>

namespace {

const PromptSet german = {
    "de",
    L"Keine Java-Version in der Registrierung gefunden. Möchten Sie die aktuelle Version jetzt installieren?",
    L"Keine Java-Version gefunden",
    L"Die Anwendung kann nicht ohne installiertes Java ausgeführt werden. Die Anwendung wird jetzt "
    L"geschlossen.",
    L"Fehler",
    L"Eine neuere Version von Java Temurin ist verfügbar. Möchten Sie es jetzt herunterladen?",
    L"Neue Version",
    L"Die Installation von Java ist fehlgeschlagen. Die Anwendung wird jetzt geschlossen.",
    L"Fehler",
    L"Die Installation der Anwendung wurde nicht gefunden. Die Anwendung wird jetzt geschlossen.",
    L"Fehler",
    L"Java wird heruntergeladen",
    L"Java Temurin {version} wird heruntergeladen.",
    L"{received} MB von {total} MB",
    L"{received} MB",
    L"Verbindung unterbrochen, neuer Versuch…",
    L"Warten, bis eine andere Installation abgeschlossen ist…",
};

const PromptSet usEnglish = {
    "en-US",
    L"No Java version found in the registry. Do you want to Install the current version now?",
    L"No Java Version Found",
    L"The application cannot run without Java installed. The application will now close.",
    L"Error",
    L"A newer version of Java Temurin is availabe. Do you want to download it now?",
    L"New Version",
    L"The installation of Java failed. The application will now close.",
    L"Error",
    L"The installation of the application was not found. The application will now close.",
    L"Error",
    L"Downloading Java",
    L"Downloading Java Temurin {version}.",
    L"{received} MB of {total} MB",
    L"{received} MB",
    L"Connection lost, retrying…",
    L"Waiting for another installation to finish…",
};

const PromptSet spanish = {
    "es",
    L"No se encontró ninguna versión de Java en el registro. ¿Desea instalar la versión actual ahora?",
    L"No se encontró ninguna versión de Java",
    L"La aplicación no puede ejecutarse sin Java instalado. La aplicación se cerrará ahora.",
    L"Error",
    L"Hay disponible una versión más reciente de Java Temurin. ¿Desea descargarla ahora?",
    L"Nueva versión",
    L"La instalación de Java falló. La aplicación se cerrará ahora.",
    L"Error",
    L"No se encontró la instalación de la aplicación. La aplicación se cerrará ahora.",
    L"Error",
    L"Descargando Java",
    L"Descargando Java Temurin {version}.",
    L"{received} MB de {total} MB",
    L"{received} MB",
    L"Se perdió la conexión, reintentando…",
    L"Esperando a que termine otra instalación…",
};

const PromptSet french = {
    "fr",
    L"Aucune version de Java trouvée dans le registre. Voulez-vous installer la version actuelle maintenant?",
    L"Aucune version de Java trouvée",
    L"L'application ne peut pas fonctionner sans Java installé. L'application va maintenant se fermer.",
    L"Erreur",
    L"Une nouvelle version de Java Temurin est disponible. Voulez-vous le télécharger maintenant?",
    L"Nouvelle version",
    L"L'installation de Java a échoué. L'application va maintenant se fermer.",
    L"Erreur",
    L"L'installation de l'application est introuvable. L'application va maintenant se fermer.",
    L"Erreur",
    L"Téléchargement de Java",
    L"Téléchargement de Java Temurin {version}.",
    L"{received} Mo sur {total} Mo",
    L"{received} Mo",
    L"Connexion perdue, nouvelle tentative…",
    L"En attente de la fin d'une autre installation…",
};

const PromptSet dutch = {
    "nl",
    L"Geen Java-versie gevonden in het register. Wilt u de huidige versie nu installeren?",
    L"Geen Java-versie gevonden",
    L"De applicatie kan niet worden uitgevoerd zonder Java geïnstalleerd. De applicatie wordt nu gesloten.",
    L"Fout",
    L"Een nieuwere versie van Java Temurin is beschikbaar. Wilt u het nu downloaden?",
    L"Nieuwe versie",
    L"De installatie van Java is mislukt. De applicatie wordt nu gesloten.",
    L"Fout",
    L"De installatie van de applicatie is niet gevonden. De applicatie wordt nu gesloten.",
    L"Fout",
    L"Java downloaden",
    L"Java Temurin {version} wordt gedownload.",
    L"{received} MB van {total} MB",
    L"{received} MB",
    L"Verbinding verbroken, opnieuw proberen…",
    L"Wachten tot een andere installatie is voltooid…",
};

struct LanguagePrompts {
    std::uint16_t langId;
    // cppcheck-suppress unusedStructMember ; it is read through the result of std::find_if
    const PromptSet* prompts;
};

const LanguagePrompts languages[] = {
    {LANGID_GERMAN, &german}, {LANGID_US_ENGLISH, &usEnglish}, {LANGID_SPANISH, &spanish},
    {LANGID_FRENCH, &french}, {LANGID_DUTCH, &dutch},
};

// The low ten bits of a language identifier name the language, the high six its variant.
constexpr std::uint16_t primaryLanguageMask = 0x03FF;

} // namespace

const PromptSet& promptsForLanguage(std::uint16_t langId)
{
    const auto* match =
        std::find_if(std::begin(languages), std::end(languages), [langId](const LanguagePrompts& language) {
            return (language.langId & primaryLanguageMask) == (langId & primaryLanguageMask);
        });
    return match != std::end(languages) ? *match->prompts : usEnglish;
}

std::wstring withValues(const wchar_t* text,
                        std::initializer_list<std::pair<const wchar_t*, std::wstring>> values)
{
    std::wstring result = text;
    for (const auto& [name, value] : values) {
        const std::wstring placeholder = std::wstring(L"{") + name + L"}";
        for (std::wstring::size_type at = result.find(placeholder); at != std::wstring::npos;
             at = result.find(placeholder, at + value.size())) {
            result.replace(at, placeholder.size(), value);
        }
    }
    return result;
}
