#include "ui/app/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace {
const QString kProgram = QStringLiteral("brantle-vantrel");

QString usage(const QCommandLineParser& parser) {
    // The parser's own first line names argv[0], or a placeholder while no
    // application object exists.
    const QString text = parser.helpText();
    return QCoreApplication::translate("CommandLine",
                                       "Usage: %1 [options]\n       %1 --report [--month YYYY-MM] "
                                       "[--json]")
               .arg(kProgram) +
           text.mid(text.indexOf(QLatin1Char('\n')));
}

} // namespace

CommandLine parseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "CommandLine", "Counts the minutes online for each connection profile, "
                       "from the notification area."));
    const QCommandLineOption help(
        {QStringLiteral("h"), QStringLiteral("help")},
        QCoreApplication::translate("CommandLine", "Show this help and exit."));
    const QCommandLineOption version(
        {QStringLiteral("v"), QStringLiteral("version")},
        QCoreApplication::translate("CommandLine", "Show the version and exit."));
    const QCommandLineOption autostart(
        QStringLiteral("autostart"),
        QCoreApplication::translate("CommandLine",
                                    "Started at login: if a copy is already running, end "
                                    "quietly instead of showing its window."));
    parser.addOptions({help, version, autostart});

    CommandLine result;
    QString error;
    // The program takes no operands, so "--" (which would end the options)
    // is as wrong as any other stray argument.
    const bool parsed = parser.parse(arguments);
    if (arguments.indexOf(QStringLiteral("--"), 1) > 0)
        error = QCoreApplication::translate("CommandLine", "Unexpected argument '%1'.")
                    .arg(QStringLiteral("--"));
    else if (!parsed)
        error = parser.errorText();
    else if (!parser.positionalArguments().isEmpty())
        error = QCoreApplication::translate("CommandLine", "Unexpected argument '%1'.")
                    .arg(parser.positionalArguments().first());
    if (!error.isEmpty()) {
        result.run = false;
        result.exitCode = 2;
        result.err = kProgram + QStringLiteral(": ") + error + QLatin1Char('\n') + usage(parser);
    } else if (parser.isSet(help)) {
        result.run = false;
        result.out = usage(parser);
    } else if (parser.isSet(version)) {
        result.run = false;
        result.out = kProgram + QStringLiteral(" " BV_VERSION "\n");
    }
    result.autostart = parser.isSet(autostart);
    return result;
}

QStringList argumentList(int argc, char** argv) {
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}
