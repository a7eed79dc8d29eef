#include "installer/application_languages.h"

const std::array<language_entry, 7> application_languages{{
    {"select", "Select on application startup"},
    {"de-DE", "Deutsch"},
    {"en-US", "English"},
    {"es-ES", "Espa\xC3\xB1ol"},
    {"fr-FR",
     "Fran\xC3\xA7"
     "ais"},
    {"it-IT", "Italiano"},
    {"nl-NL", "Nederlands"},
}};

const language_entry& default_language = application_languages[2];
