<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>AppErrors</name>
    <message>
        <source>Unable to write to %1</source>
        <translation>In %1 kann nicht geschrieben werden</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid integer value</source>
        <translation>„%1“ ist keine gültige Ganzzahl</translation>
    </message>
    <message>
        <source>Unknown error</source>
        <translation>Unbekannter Fehler</translation>
    </message>
    <message>
        <source>Exception %1 in module %2 at %3.
%4%5</source>
        <translation>Ausnahme %1 in Modul %2 an Adresse %3.
%4%5</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>Usage: %1 [options]
       %1 --report [--month YYYY-MM] [--json]</source>
        <translation>Aufruf: %1 [Optionen]
        %1 --report [--month JJJJ-MM] [--json]</translation>
    </message>
    <message>
        <source>Counts the minutes online for each connection profile, from the notification area.</source>
        <translation>Zählt im Benachrichtigungsfeld die Online-Minuten jedes Verbindungsprofils.</translation>
    </message>
    <message>
        <source>Show this help and exit.</source>
        <translation>Diese Hilfe anzeigen und beenden.</translation>
    </message>
    <message>
        <source>Show the version and exit.</source>
        <translation>Die Version anzeigen und beenden.</translation>
    </message>
    <message>
        <source>Started at login: if a copy is already running, end quietly instead of showing its window.</source>
        <translation>Beim Anmelden gestartet: Läuft das Programm bereits, still beenden, statt sein Fenster anzuzeigen.</translation>
    </message>
    <message>
        <source>Unexpected argument &apos;%1&apos;.</source>
        <translation>Unerwartetes Argument „%1“.</translation>
    </message>
</context>
<context>
    <name>DataPlans</name>
    <message>
        <source>en</source>
        <comment>locale of the month names</comment>
        <translation>de</translation>
    </message>
    <message>
        <source>%1: %2 of %3 used; the plan renews on %4.</source>
        <translation>%1: %2 von %3 verbraucht; der Tarif erneuert sich am %4.</translation>
    </message>
    <message>
        <source>%1 of %2, renews %3</source>
        <translation>%1 von %2, erneuert am %3</translation>
    </message>
</context>
<context>
    <name>DesktopNotifier</name>
    <message>
        <source>%1 - data plan</source>
        <translation>%1 - Datentarif</translation>
    </message>
</context>
<context>
    <name>SingleInstance</name>
    <message>
        <source>Unable to write to %1</source>
        <translation>In %1 kann nicht geschrieben werden</translation>
    </message>
    <message>
        <source>%1 was not a regular file. It was moved to %2, and a new lock file was made</source>
        <translation>%1 war keine reguläre Datei. Sie wurde nach %2 verschoben, und eine neue Sperrdatei wurde angelegt</translation>
    </message>
</context>
<context>
    <name>Statistics</name>
    <message>
        <source>%1 H., %2 Min</source>
        <translation>%1 h, %2 min</translation>
    </message>
    <message>
        <source>You&apos;re using the &quot;%1&quot; dialup account longer than you should. (The limit set by yourself is %2 hours.)</source>
        <translation>Sie nutzen die Verbindung „%1“ länger als vorgesehen. (Ihr selbst gesetztes Limit: %2 Std.)</translation>
    </message>
</context>
<context>
    <name>Tfrm1stOfMonthNotification</name>
    <message>
        <source>Brantle Vantrel - notification</source>
        <translation>Brantle Vantrel - Hinweis</translation>
    </message>
    <message>
        <source>It&apos;s the first of the month!</source>
        <translation>Heute ist der Monatserste!</translation>
    </message>
    <message>
        <source>It&apos;s the 1st of the month, would you like to reset your the time count for you dialup account(s)?</source>
        <translation>Heute ist der Erste des Monats. Möchten Sie die gezählte Zeit Ihrer Verbindungen zurücksetzen?</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Ja</translation>
    </message>
    <message>
        <source>No, but remind me on next run</source>
        <translation>Nein, nächstes Mal erinnern</translation>
    </message>
    <message>
        <source>No, and don&apos;t remind me again this month</source>
        <translation>Nein, diesen Monat nicht mehr erinnern</translation>
    </message>
</context>
<context>
    <name>TfrmAbout</name>
    <message>
        <source>About...</source>
        <translation>Über...</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>Version %1</translation>
    </message>
    <message>
        <source>This program is provided &quot;as-is&quot;, without any implied warranties or guaranties. If you find any bugs or have a question, feel free to contact the author.</source>
        <translation>Dieses Programm wird „wie besehen“ bereitgestellt, ohne jede Gewährleistung. Wenn Sie Fehler finden oder Fragen haben, wenden Sie sich gern an den Autor.</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Schließen</translation>
    </message>
</context>
<context>
    <name>TfrmDataPlans</name>
    <message>
        <source>Brantle Vantrel - data plans</source>
        <translation>Brantle Vantrel - Datentarife</translation>
    </message>
    <message>
        <source>Entry</source>
        <translation>Verbindung</translation>
    </message>
    <message>
        <source>Allowance</source>
        <translation>Volumen</translation>
    </message>
    <message>
        <source>Billing day</source>
        <translation>Abrechnungstag</translation>
    </message>
    <message>
        <source>Warn at</source>
        <translation>Warnen bei</translation>
    </message>
    <message>
        <source>This period</source>
        <translation>Dieser Zeitraum</translation>
    </message>
    <message>
        <source>Changes are stored as they are made. An entry without an allowance has no plan and is never warned about.</source>
        <translation>Änderungen werden sofort gespeichert. Eine Verbindung ohne Volumen hat keinen Tarif und löst nie eine Warnung aus.</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Schließen</translation>
    </message>
    <message>
        <source>no plan</source>
        <translation>kein Tarif</translation>
    </message>
    <message>
        <source>Data plans</source>
        <translation>Datentarife</translation>
    </message>
    <message>
        <source>%1: allowance</source>
        <translation>%1: Volumen</translation>
    </message>
    <message>
        <source>%1: unit</source>
        <translation>%1: Einheit</translation>
    </message>
    <message>
        <source>%1: billing day</source>
        <translation>%1: Abrechnungstag</translation>
    </message>
    <message>
        <source>%1: warn at</source>
        <translation>%1: Warnen bei</translation>
    </message>
</context>
<context>
    <name>TfrmHistory</name>
    <message>
        <source>no data recorded</source>
        <translation>keine Daten erfasst</translation>
    </message>
    <message>
        <source>%1 received, %2 sent</source>
        <translation>%1 empfangen, %2 gesendet</translation>
    </message>
    <message>
        <source>No data recorded for %1: counted before data was, or on a connection without counters.</source>
        <translation>Für %1 keine Daten erfasst: gezählt, bevor Daten erfasst wurden, oder auf einer Verbindung ohne Zähler.</translation>
    </message>
    <message>
        <source>(the other entries)</source>
        <translation>(die übrigen Verbindungen)</translation>
    </message>
    <message>
        <source>Entry</source>
        <translation>Verbindung</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Beginn</translation>
    </message>
    <message>
        <source>End</source>
        <translation>Ende</translation>
    </message>
    <message>
        <source>Duration</source>
        <translation>Dauer</translation>
    </message>
    <message>
        <source>Data</source>
        <translation>Daten</translation>
    </message>
    <message>
        <source>min</source>
        <comment>minutes</comment>
        <translation>Min.</translation>
    </message>
    <message>
        <source>h</source>
        <comment>hours</comment>
        <translation>Std.</translation>
    </message>
    <message>
        <source>No minutes counted in this month.</source>
        <translation>In diesem Monat wurden keine Minuten gezählt.</translation>
    </message>
    <message>
        <source>Reading…</source>
        <translation>Wird gelesen …</translation>
    </message>
    <message>
        <source>No data recorded in this month.</source>
        <translation>In diesem Monat wurden keine Daten erfasst.</translation>
    </message>
    <message>
        <source>Brantle Vantrel - history</source>
        <translation>Brantle Vantrel - Verlauf</translation>
    </message>
    <message>
        <source>&amp;Month:</source>
        <translation>&amp;Monat:</translation>
    </message>
    <message>
        <source>Chart:</source>
        <translation>Diagramm:</translation>
    </message>
    <message>
        <source>&amp;Time</source>
        <translation>&amp;Zeit</translation>
    </message>
    <message>
        <source>&amp;Data</source>
        <translation>&amp;Daten</translation>
    </message>
    <message>
        <source>This month</source>
        <translation>Dieser Monat</translation>
    </message>
    <message>
        <source>Last month</source>
        <translation>Letzter Monat</translation>
    </message>
    <message>
        <source>All time</source>
        <translation>Insgesamt</translation>
    </message>
    <message>
        <source>Data this month</source>
        <translation>Daten diesen Monat</translation>
    </message>
    <message>
        <source>Data last month</source>
        <translation>Daten letzten Monat</translation>
    </message>
    <message>
        <source>Data all time</source>
        <translation>Daten insgesamt</translation>
    </message>
    <message>
        <source>Minutes online per day</source>
        <translation>Online-Minuten pro Tag</translation>
    </message>
    <message>
        <source>Per entry</source>
        <translation>Pro Verbindung</translation>
    </message>
    <message>
        <source>Sessions of the month, newest first</source>
        <translation>Sitzungen des Monats, neueste zuerst</translation>
    </message>
    <message>
        <source>&amp;Export CSV...</source>
        <translation>Als CSV &amp;exportieren...</translation>
    </message>
    <message>
        <source>Data &amp;plans...</source>
        <translation>Daten&amp;tarife...</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Schließen</translation>
    </message>
    <message>
        <source>Per entry:</source>
        <translation>Pro Verbindung:</translation>
    </message>
    <message>
        <source>Sessions of the month, newest first:</source>
        <translation>Sitzungen des Monats, neueste zuerst:</translation>
    </message>
    <message>
        <source>No usage history yet.</source>
        <translation>Noch kein Nutzungsverlauf.</translation>
    </message>
    <message>
        <source>1 line of the history could not be read and was skipped.</source>
        <translation>Eine Zeile des Verlaufs war nicht lesbar und wurde übersprungen.</translation>
    </message>
    <message>
        <source>%1 lines of the history could not be read and were skipped.</source>
        <translation>%1 Zeilen des Verlaufs waren nicht lesbar und wurden übersprungen.</translation>
    </message>
    <message>
        <source>Entries past the first %1 names are counted together as &quot;%2&quot;.</source>
        <translation>Verbindungen nach den ersten %1 Namen werden zusammen als „%2“ gezählt.</translation>
    </message>
    <message>
        <source>The newest %1 sessions are listed; %2 older ones are not.</source>
        <translation>Die neuesten %1 Sitzungen werden aufgeführt, %2 ältere nicht.</translation>
    </message>
    <message>
        <source>Export CSV</source>
        <translation>Als CSV exportieren</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV-Dateien (*.csv)</translation>
    </message>
</context>
<context>
    <name>TfrmMain</name>
    <message>
        <source>&amp;Show window</source>
        <translation>Fenster &amp;anzeigen</translation>
    </message>
    <message>
        <source>&amp;History...</source>
        <translation>&amp;Verlauf...</translation>
    </message>
    <message>
        <source>&amp;Data plans...</source>
        <translation>&amp;Datentarife...</translation>
    </message>
    <message>
        <source>&amp;About...</source>
        <translation>&amp;Über...</translation>
    </message>
    <message>
        <source>&amp;Close program</source>
        <translation>Programm &amp;beenden</translation>
    </message>
    <message>
        <source>Current status:</source>
        <translation>Status:</translation>
    </message>
    <message>
        <source>Not connected.</source>
        <translation>Nicht verbunden.</translation>
    </message>
    <message>
        <source>Choose dialup:</source>
        <translation>Verbindung:</translation>
    </message>
    <message>
        <source>Time spent online:</source>
        <translation>Online-Zeit:</translation>
    </message>
    <message>
        <source>&lt;select dialup&gt;</source>
        <translation>&lt;bitte wählen&gt;</translation>
    </message>
    <message>
        <source>hour(s) of use.</source>
        <translation>Stunde(n) Nutzung.</translation>
    </message>
    <message>
        <source>&amp;Reset count</source>
        <translation>&amp;Rücksetzen</translation>
    </message>
    <message>
        <source>Hour limit arrows</source>
        <translation>Pfeile des Stundenlimits</translation>
    </message>
    <message>
        <source>Warn me after</source>
        <translation>Warnen nach</translation>
    </message>
    <message>
        <source>Hide</source>
        <translation>Ausblenden</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>&amp;Über</translation>
    </message>
    <message>
        <source> Statistics </source>
        <translation> Statistik </translation>
    </message>
    <message>
        <source>Hour limit</source>
        <translation>Stundenlimit</translation>
    </message>
    <message>
        <source>Warn me after this many hour(s) of use.</source>
        <translation>Nach so vielen Stunden Nutzung warnen.</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>No item is selected. Please select a dialup entry and only then click on this button.</source>
        <translation>Es ist keine Verbindung ausgewählt. Bitte wählen Sie zuerst eine Verbindung aus und klicken Sie erst dann auf diesen Knopf.</translation>
    </message>
    <message>
        <source>Data plan used up</source>
        <translation>Datentarif aufgebraucht</translation>
    </message>
    <message>
        <source>Data plan</source>
        <translation>Datentarif</translation>
    </message>
    <message>
        <source>History...</source>
        <translation>Verlauf...</translation>
    </message>
    <message>
        <source>Connected</source>
        <translation>Verbunden</translation>
    </message>
</context>
<context>
    <name>TfrmOverTimeWarning</name>
    <message>
        <source>Brantle Vantrel - warning</source>
        <translation>Brantle Vantrel - Warnung</translation>
    </message>
    <message>
        <source>Dialup connection overtime!</source>
        <translation>Verbindungszeit überschritten!</translation>
    </message>
    <message>
        <source>Disable overtime warning for this dialup</source>
        <translation>Für diese Verbindung nicht mehr warnen</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Schließen</translation>
    </message>
</context>
<context>
    <name>TfrmStartup</name>
    <message>
        <source>Starting...</source>
        <translation>Wird gestartet...</translation>
    </message>
    <message>
        <source>Loading Brantle Vantrel...</source>
        <translation>Brantle Vantrel wird geladen...</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>brantle-vantrel: cannot open a display: neither DISPLAY nor WAYLAND_DISPLAY is set
</source>
        <translation>brantle-vantrel: Anzeige kann nicht geöffnet werden: weder DISPLAY noch WAYLAND_DISPLAY ist gesetzt
</translation>
    </message>
    <message>
        <source>Another process holds %1 and does not answer: Brantle Vantrel is not started a second time</source>
        <translation>Ein anderer Prozess hält %1 und antwortet nicht: Brantle Vantrel wird kein zweites Mal gestartet</translation>
    </message>
    <message>
        <source>Application Error</source>
        <translation>Anwendungsfehler</translation>
    </message>
</context>
<context>
    <name>report</name>
    <message>
        <source>Usage: brantle-vantrel --report [--month YYYY-MM] [--json]
Prints the time counted per entry in the ledger, then the minutes and the
sessions of one month from the usage history.
  --month YYYY-MM  the month to report (default: this month)
  --json           one JSON object, for scripts and status bars
</source>
        <translation>Aufruf: brantle-vantrel --report [--month JJJJ-MM] [--json]
Gibt die gezählte Zeit jeder Verbindung im Zeitkonto aus, dann die Minuten
und Sitzungen eines Monats aus dem Nutzungsverlauf.
  --month JJJJ-MM  der Monat des Berichts (Vorgabe: dieser Monat)
  --json           ein JSON-Objekt, für Skripte und Statusleisten
</translation>
    </message>
    <message>
        <source>%1 H., %2 Min</source>
        <translation>%1 h, %2 min</translation>
    </message>
    <message>
        <source>no data recorded</source>
        <translation>keine Daten erfasst</translation>
    </message>
    <message>
        <source> (no data recorded for %1)</source>
        <translation> (für %1 keine Daten erfasst)</translation>
    </message>
    <message>
        <source>--month needs a month, as YYYY-MM</source>
        <translation>--month braucht einen Monat als JJJJ-MM</translation>
    </message>
    <message>
        <source>not a month: &apos;%1&apos; (YYYY-MM)</source>
        <translation>kein Monat: „%1“ (JJJJ-MM)</translation>
    </message>
    <message>
        <source>unknown argument: &apos;%1&apos;</source>
        <translation>unbekanntes Argument: „%1“</translation>
    </message>
    <message>
        <source>--month and --json go with --report</source>
        <translation>--month und --json gehören zu --report</translation>
    </message>
    <message>
        <source>
Data plans %1:
</source>
        <translation>
Datentarife %1:
</translation>
    </message>
    <message>
        <source> (%1 %), since %2</source>
        <translation> (%1 %), seit %2</translation>
    </message>
    <message>
        <source>; told at 100 %</source>
        <translation>; bei 100 % gemeldet</translation>
    </message>
    <message>
        <source>; warned at %1 %</source>
        <translation>; bei %1 % gewarnt</translation>
    </message>
    <message>
        <source>(the other entries, past %1 names)</source>
        <translation>(die übrigen Verbindungen, nach %1 Namen)</translation>
    </message>
    <message>
        <source>, of which %1 received and %2 sent</source>
        <translation>, davon %1 empfangen und %2 gesendet</translation>
    </message>
    <message>
        <source>No ledger at %1.
</source>
        <translation>Kein Zeitkonto unter %1.
</translation>
    </message>
    <message>
        <source>Ledger %1:
</source>
        <translation>Zeitkonto %1:
</translation>
    </message>
    <message>
        <source>  no entries
</source>
        <translation>  keine Verbindungen
</translation>
    </message>
    <message>
        <source>No usage history at %1.
</source>
        <translation>Kein Nutzungsverlauf unter %1.
</translation>
    </message>
    <message>
        <source>Usage history %1, %2: %3, %4
</source>
        <translation>Nutzungsverlauf %1, %2: %3, %4
</translation>
    </message>
    <message>
        <source>No minutes counted in %1.
</source>
        <translation>Im Monat %1 wurden keine Minuten gezählt.
</translation>
    </message>
    <message>
        <source>
Sessions in %1, newest first:
</source>
        <translation>
Sitzungen im Monat %1, neueste zuerst:
</translation>
    </message>
    <message>
        <source>  and %1 older sessions, not listed
</source>
        <translation>  und %1 ältere Sitzungen, nicht aufgeführt
</translation>
    </message>
    <message>
        <source>1 line of the history could not be read and was skipped.
</source>
        <translation>Eine Zeile des Verlaufs war nicht lesbar und wurde übersprungen.
</translation>
    </message>
    <message>
        <source>%1 lines of the history could not be read and were skipped.
</source>
        <translation>%1 Zeilen des Verlaufs waren nicht lesbar und wurden übersprungen.
</translation>
    </message>
</context>
</TS>
