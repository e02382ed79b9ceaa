#pragma once
// The user's language: our own texts and Qt's, chosen from the locale
// (LANGUAGE, LC_ALL, LC_MESSAGES, LANG). Without a translation for it the
// program speaks English.

#include <QString>

// Installs the translators on the application object that exists now, and
// returns the language of ours that was loaded ("hr", "de"), or an empty
// text for English. Needs an application object; without one it does nothing.
QString installTranslations();

// What the last installTranslations() loaded: "hr", "de", or empty for English.
QString uiLanguage();
