<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="hr_HR">
<context>
    <name>AppErrors</name>
    <message>
        <source>Unable to write to %1</source>
        <translation>Ne mogu pisati u %1</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid integer value</source>
        <translation>„%1” nije ispravan cijeli broj</translation>
    </message>
    <message>
        <source>Unknown error</source>
        <translation>Nepoznata greška</translation>
    </message>
    <message>
        <source>Exception %1 in module %2 at %3.
%4%5</source>
        <translation>Iznimka %1 u modulu %2 na adresi %3.
%4%5</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>Usage: %1 [options]
       %1 --report [--month YYYY-MM] [--json]</source>
        <translation>Upotreba: %1 [opcije]
          %1 --report [--month GGGG-MM] [--json]</translation>
    </message>
    <message>
        <source>Counts the minutes online for each connection profile, from the notification area.</source>
        <translation>Iz područja obavijesti broji minute na mreži za svaki profil veze.</translation>
    </message>
    <message>
        <source>Show this help and exit.</source>
        <translation>Prikaži ovu pomoć i izađi.</translation>
    </message>
    <message>
        <source>Show the version and exit.</source>
        <translation>Prikaži verziju i izađi.</translation>
    </message>
    <message>
        <source>Started at login: if a copy is already running, end quietly instead of showing its window.</source>
        <translation>Pokrenuto pri prijavi: ako je program već pokrenut, tiho završi umjesto da prikaže njegov prozor.</translation>
    </message>
    <message>
        <source>Unexpected argument &apos;%1&apos;.</source>
        <translation>Neočekivan argument „%1”.</translation>
    </message>
</context>
<context>
    <name>DataPlans</name>
    <message>
        <source>en</source>
        <comment>locale of the month names</comment>
        <translation>hr</translation>
    </message>
    <message>
        <source>%1: %2 of %3 used; the plan renews on %4.</source>
        <translation>%1: potrošeno %2 od %3; paket se obnavlja %4.</translation>
    </message>
    <message>
        <source>%1 of %2, renews %3</source>
        <translation>%1 od %2, obnavlja se %3</translation>
    </message>
</context>
<context>
    <name>DesktopNotifier</name>
    <message>
        <source>%1 - data plan</source>
        <translation>%1 - podatkovni paket</translation>
    </message>
</context>
<context>
    <name>SingleInstance</name>
    <message>
        <source>Unable to write to %1</source>
        <translation>Ne mogu pisati u %1</translation>
    </message>
    <message>
        <source>%1 was not a regular file. It was moved to %2, and a new lock file was made</source>
        <translation>%1 nije bila obična datoteka. Premještena je u %2 i napravljena je nova datoteka zaključavanja</translation>
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
        <translation>Vezu „%1” koristite dulje nego što biste trebali. (Ograničenje koje ste sami postavili: %2 h.)</translation>
    </message>
</context>
<context>
    <name>Tfrm1stOfMonthNotification</name>
    <message>
        <source>Brantle Vantrel - notification</source>
        <translation>Brantle Vantrel - obavijest</translation>
    </message>
    <message>
        <source>It&apos;s the first of the month!</source>
        <translation>Danas je prvi u mjesecu!</translation>
    </message>
    <message>
        <source>It&apos;s the 1st of the month, would you like to reset your the time count for you dialup account(s)?</source>
        <translation>Danas je prvi dan u mjesecu. Želite li poništiti izbrojeno vrijeme svojih veza?</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Da</translation>
    </message>
    <message>
        <source>No, but remind me on next run</source>
        <translation>Ne, ali podsjeti me idući put</translation>
    </message>
    <message>
        <source>No, and don&apos;t remind me again this month</source>
        <translation>Ne, i ne podsjećaj me više ovaj mjesec</translation>
    </message>
</context>
<context>
    <name>TfrmAbout</name>
    <message>
        <source>About...</source>
        <translation>O programu...</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>Verzija %1</translation>
    </message>
    <message>
        <source>This program is provided &quot;as-is&quot;, without any implied warranties or guaranties. If you find any bugs or have a question, feel free to contact the author.</source>
        <translation>Program se daje „kakav jest”, bez ikakvih izričitih ili prešutnih jamstava. Ako pronađete pogrešku ili imate pitanje, slobodno se javite autoru.</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Zatvori</translation>
    </message>
</context>
<context>
    <name>TfrmDataPlans</name>
    <message>
        <source>Brantle Vantrel - data plans</source>
        <translation>Brantle Vantrel - podatkovni paketi</translation>
    </message>
    <message>
        <source>Entry</source>
        <translation>Veza</translation>
    </message>
    <message>
        <source>Allowance</source>
        <translation>Količina</translation>
    </message>
    <message>
        <source>Billing day</source>
        <translation>Dan obračuna</translation>
    </message>
    <message>
        <source>Warn at</source>
        <translation>Upozori na</translation>
    </message>
    <message>
        <source>This period</source>
        <translation>Ovo razdoblje</translation>
    </message>
    <message>
        <source>Changes are stored as they are made. An entry without an allowance has no plan and is never warned about.</source>
        <translation>Promjene se spremaju odmah. Veza bez zadane količine nema paket i za nju nema upozorenja.</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Zatvori</translation>
    </message>
    <message>
        <source>no plan</source>
        <translation>bez paketa</translation>
    </message>
    <message>
        <source>Data plans</source>
        <translation>Podatkovni paketi</translation>
    </message>
    <message>
        <source>%1: allowance</source>
        <translation>%1: količina</translation>
    </message>
    <message>
        <source>%1: unit</source>
        <translation>%1: jedinica</translation>
    </message>
    <message>
        <source>%1: billing day</source>
        <translation>%1: dan obračuna</translation>
    </message>
    <message>
        <source>%1: warn at</source>
        <translation>%1: upozori na</translation>
    </message>
</context>
<context>
    <name>TfrmHistory</name>
    <message>
        <source>no data recorded</source>
        <translation>podaci nisu zabilježeni</translation>
    </message>
    <message>
        <source>%1 received, %2 sent</source>
        <translation>primljeno %1, poslano %2</translation>
    </message>
    <message>
        <source>No data recorded for %1: counted before data was, or on a connection without counters.</source>
        <translation>Za %1 podaci nisu zabilježeni: izbrojeno prije nego što su se podaci bilježili ili na vezi bez brojača.</translation>
    </message>
    <message>
        <source>(the other entries)</source>
        <translation>(ostale veze)</translation>
    </message>
    <message>
        <source>Entry</source>
        <translation>Veza</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Početak</translation>
    </message>
    <message>
        <source>End</source>
        <translation>Kraj</translation>
    </message>
    <message>
        <source>Duration</source>
        <translation>Trajanje</translation>
    </message>
    <message>
        <source>Data</source>
        <translation>Podaci</translation>
    </message>
    <message>
        <source>min</source>
        <comment>minutes</comment>
        <translation>min</translation>
    </message>
    <message>
        <source>h</source>
        <comment>hours</comment>
        <translation>h</translation>
    </message>
    <message>
        <source>No minutes counted in this month.</source>
        <translation>U ovom mjesecu nije izbrojena nijedna minuta.</translation>
    </message>
    <message>
        <source>Reading…</source>
        <translation>Čitanje…</translation>
    </message>
    <message>
        <source>No data recorded in this month.</source>
        <translation>U ovom mjesecu nisu zabilježeni podaci.</translation>
    </message>
    <message>
        <source>Brantle Vantrel - history</source>
        <translation>Brantle Vantrel - povijest</translation>
    </message>
    <message>
        <source>&amp;Month:</source>
        <translation>&amp;Mjesec:</translation>
    </message>
    <message>
        <source>Chart:</source>
        <translation>Grafikon:</translation>
    </message>
    <message>
        <source>&amp;Time</source>
        <translation>&amp;Vrijeme</translation>
    </message>
    <message>
        <source>&amp;Data</source>
        <translation>Po&amp;daci</translation>
    </message>
    <message>
        <source>This month</source>
        <translation>Ovaj mjesec</translation>
    </message>
    <message>
        <source>Last month</source>
        <translation>Prošli mjesec</translation>
    </message>
    <message>
        <source>All time</source>
        <translation>Ukupno</translation>
    </message>
    <message>
        <source>Data this month</source>
        <translation>Podaci ovog mjeseca</translation>
    </message>
    <message>
        <source>Data last month</source>
        <translation>Podaci prošlog mjeseca</translation>
    </message>
    <message>
        <source>Data all time</source>
        <translation>Podaci ukupno</translation>
    </message>
    <message>
        <source>Minutes online per day</source>
        <translation>Minute na mreži po danu</translation>
    </message>
    <message>
        <source>Per entry</source>
        <translation>Po vezi</translation>
    </message>
    <message>
        <source>Sessions of the month, newest first</source>
        <translation>Sesije u mjesecu, najnovije prve</translation>
    </message>
    <message>
        <source>&amp;Export CSV...</source>
        <translation>&amp;Izvezi CSV...</translation>
    </message>
    <message>
        <source>Data &amp;plans...</source>
        <translation>Podatkovni &amp;paketi...</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Zatvori</translation>
    </message>
    <message>
        <source>Per entry:</source>
        <translation>Po vezi:</translation>
    </message>
    <message>
        <source>Sessions of the month, newest first:</source>
        <translation>Sesije u mjesecu, najnovije prve:</translation>
    </message>
    <message>
        <source>No usage history yet.</source>
        <translation>Povijest korištenja još ne postoji.</translation>
    </message>
    <message>
        <source>1 line of the history could not be read and was skipped.</source>
        <translation>Jedan redak povijesti nije se mogao pročitati i preskočen je.</translation>
    </message>
    <message>
        <source>%1 lines of the history could not be read and were skipped.</source>
        <translation>Neki redci povijesti (%1) nisu se mogli pročitati i preskočeni su.</translation>
    </message>
    <message>
        <source>Entries past the first %1 names are counted together as &quot;%2&quot;.</source>
        <translation>Veze nakon prvih %1 naziva broje se zajedno kao „%2”.</translation>
    </message>
    <message>
        <source>The newest %1 sessions are listed; %2 older ones are not.</source>
        <translation>Prikazano je najnovijih %1 sesija; starijih %2 nije.</translation>
    </message>
    <message>
        <source>Export CSV</source>
        <translation>Izvoz u CSV</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV datoteke (*.csv)</translation>
    </message>
</context>
<context>
    <name>TfrmMain</name>
    <message>
        <source>&amp;Show window</source>
        <translation>&amp;Prikaži prozor</translation>
    </message>
    <message>
        <source>&amp;History...</source>
        <translation>Po&amp;vijest...</translation>
    </message>
    <message>
        <source>&amp;Data plans...</source>
        <translation>Podatkovni p&amp;aketi...</translation>
    </message>
    <message>
        <source>&amp;About...</source>
        <translation>&amp;O programu...</translation>
    </message>
    <message>
        <source>&amp;Close program</source>
        <translation>&amp;Zatvori program</translation>
    </message>
    <message>
        <source>Current status:</source>
        <translation>Stanje veze:</translation>
    </message>
    <message>
        <source>Not connected.</source>
        <translation>Nismo spojeni.</translation>
    </message>
    <message>
        <source>Choose dialup:</source>
        <translation>Odaberite vezu:</translation>
    </message>
    <message>
        <source>Time spent online:</source>
        <translation>Vrijeme na mreži:</translation>
    </message>
    <message>
        <source>&lt;select dialup&gt;</source>
        <translation>&lt;odaberite&gt;</translation>
    </message>
    <message>
        <source>hour(s) of use.</source>
        <translation>sat(i) korištenja.</translation>
    </message>
    <message>
        <source>&amp;Reset count</source>
        <translation>&amp;Poništi</translation>
    </message>
    <message>
        <source>Hour limit arrows</source>
        <translation>Strelice ograničenja sati</translation>
    </message>
    <message>
        <source>Warn me after</source>
        <translation>Upozori nakon</translation>
    </message>
    <message>
        <source>Hide</source>
        <translation>Sakrij</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>&amp;Info</translation>
    </message>
    <message>
        <source> Statistics </source>
        <translation> Statistika </translation>
    </message>
    <message>
        <source>Hour limit</source>
        <translation>Ograničenje sati</translation>
    </message>
    <message>
        <source>Warn me after this many hour(s) of use.</source>
        <translation>Upozori me nakon ovoliko sati korištenja.</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Greška</translation>
    </message>
    <message>
        <source>No item is selected. Please select a dialup entry and only then click on this button.</source>
        <translation>Nijedna veza nije odabrana. Najprije odaberite vezu, a tek onda kliknite ovaj gumb.</translation>
    </message>
    <message>
        <source>Data plan used up</source>
        <translation>Podatkovni paket je potrošen</translation>
    </message>
    <message>
        <source>Data plan</source>
        <translation>Podatkovni paket</translation>
    </message>
    <message>
        <source>History...</source>
        <translation>Povijest...</translation>
    </message>
    <message>
        <source>Connected</source>
        <translation>Spojeni smo</translation>
    </message>
</context>
<context>
    <name>TfrmOverTimeWarning</name>
    <message>
        <source>Brantle Vantrel - warning</source>
        <translation>Brantle Vantrel - upozorenje</translation>
    </message>
    <message>
        <source>Dialup connection overtime!</source>
        <translation>Prekoračeno vrijeme veze!</translation>
    </message>
    <message>
        <source>Disable overtime warning for this dialup</source>
        <translation>Isključi upozorenje za ovu vezu</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Zatvori</translation>
    </message>
</context>
<context>
    <name>TfrmStartup</name>
    <message>
        <source>Starting...</source>
        <translation>Pokretanje...</translation>
    </message>
    <message>
        <source>Loading Brantle Vantrel...</source>
        <translation>Učitava se Brantle Vantrel...</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>brantle-vantrel: cannot open a display: neither DISPLAY nor WAYLAND_DISPLAY is set
</source>
        <translation>brantle-vantrel: ne mogu otvoriti zaslon: nije postavljen ni DISPLAY ni WAYLAND_DISPLAY
</translation>
    </message>
    <message>
        <source>Another process holds %1 and does not answer: Brantle Vantrel is not started a second time</source>
        <translation>Drugi proces drži %1 i ne odgovara: Brantle Vantrel se ne pokreće drugi put</translation>
    </message>
    <message>
        <source>Application Error</source>
        <translation>Greška programa</translation>
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
        <translation>Upotreba: brantle-vantrel --report [--month GGGG-MM] [--json]
Ispisuje vrijeme izbrojeno po vezi u evidenciji, zatim minute i
sesije jednog mjeseca iz povijesti korištenja.
  --month GGGG-MM  mjesec izvještaja (zadano: ovaj mjesec)
  --json           jedan JSON objekt, za skripte i statusne trake
</translation>
    </message>
    <message>
        <source>%1 H., %2 Min</source>
        <translation>%1 h, %2 min</translation>
    </message>
    <message>
        <source>no data recorded</source>
        <translation>podaci nisu zabilježeni</translation>
    </message>
    <message>
        <source> (no data recorded for %1)</source>
        <translation> (za %1 podaci nisu zabilježeni)</translation>
    </message>
    <message>
        <source>--month needs a month, as YYYY-MM</source>
        <translation>--month traži mjesec u obliku GGGG-MM</translation>
    </message>
    <message>
        <source>not a month: &apos;%1&apos; (YYYY-MM)</source>
        <translation>nije mjesec: „%1” (GGGG-MM)</translation>
    </message>
    <message>
        <source>unknown argument: &apos;%1&apos;</source>
        <translation>nepoznat argument: „%1”</translation>
    </message>
    <message>
        <source>--month and --json go with --report</source>
        <translation>--month i --json idu uz --report</translation>
    </message>
    <message>
        <source>
Data plans %1:
</source>
        <translation>
Podatkovni paketi %1:
</translation>
    </message>
    <message>
        <source> (%1 %), since %2</source>
        <translation> (%1 %), od %2</translation>
    </message>
    <message>
        <source>; told at 100 %</source>
        <translation>; obaviješteno na 100 %</translation>
    </message>
    <message>
        <source>; warned at %1 %</source>
        <translation>; upozoreno na %1 %</translation>
    </message>
    <message>
        <source>(the other entries, past %1 names)</source>
        <translation>(ostale veze, nakon %1 naziva)</translation>
    </message>
    <message>
        <source>, of which %1 received and %2 sent</source>
        <translation>, od toga primljeno %1 i poslano %2</translation>
    </message>
    <message>
        <source>No ledger at %1.
</source>
        <translation>Nema evidencije u %1.
</translation>
    </message>
    <message>
        <source>Ledger %1:
</source>
        <translation>Evidencija %1:
</translation>
    </message>
    <message>
        <source>  no entries
</source>
        <translation>  nema veza
</translation>
    </message>
    <message>
        <source>No usage history at %1.
</source>
        <translation>Nema povijesti korištenja u %1.
</translation>
    </message>
    <message>
        <source>Usage history %1, %2: %3, %4
</source>
        <translation>Povijest korištenja %1, %2: %3, %4
</translation>
    </message>
    <message>
        <source>No minutes counted in %1.
</source>
        <translation>U mjesecu %1 nije izbrojena nijedna minuta.
</translation>
    </message>
    <message>
        <source>
Sessions in %1, newest first:
</source>
        <translation>
Sesije u mjesecu %1, najnovije prve:
</translation>
    </message>
    <message>
        <source>  and %1 older sessions, not listed
</source>
        <translation>  i starijih sesija: %1, nisu navedene
</translation>
    </message>
    <message>
        <source>1 line of the history could not be read and was skipped.
</source>
        <translation>Jedan redak povijesti nije se mogao pročitati i preskočen je.
</translation>
    </message>
    <message>
        <source>%1 lines of the history could not be read and were skipped.
</source>
        <translation>Neki redci povijesti (%1) nisu se mogli pročitati i preskočeni su.
</translation>
    </message>
</context>
</TS>
