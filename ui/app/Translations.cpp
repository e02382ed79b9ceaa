#include "ui/app/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {
QString s_language;
} // namespace

QString installTranslations() {
    s_language.clear();
    QCoreApplication* const app = QCoreApplication::instance();
    if (!app)
        return s_language;
    // The user's languages in order of preference (LANGUAGE first): the first
    // we have wins, and English, the texts' own, ends the search, so
    // LANGUAGE=en:hr gives English.
    auto* own = new QTranslator(app);
    bool loaded = false;
    for (const QString& name : QLocale().uiLanguages()) {
        const QLocale wanted(name);
        if (wanted.language() == QLocale::English)
            break;
        loaded = own->load(wanted, QStringLiteral("brantle-vantrel"), QStringLiteral("_"),
                           QStringLiteral(":/i18n"));
        if (loaded)
            break;
    }
    if (!loaded || !QCoreApplication::installTranslator(own)) {
        delete own;
        return s_language;
    }
    s_language = own->language().section(QLatin1Char('_'), 0, 0);
    // Qt's own buttons and file dialog in the same language as ours, never a
    // third one beside English texts; a missing file leaves them English.
    auto* qt = new QTranslator(app);
    if (qt->load(QLatin1String("qtbase_") + s_language,
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    else
        delete qt;
    return s_language;
}

QString uiLanguage() {
    return s_language;
}
