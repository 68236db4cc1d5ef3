<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>AdvOptionsDlg</name>
    <message>
        <source>Zone 1 Configuration</source>
        <translation>Konfiguration Zone 1</translation>
    </message>
    <message>
        <source>Fence Interference Alarm</source>
        <translation>Zaun-Störungsalarm</translation>
    </message>
    <message>
        <source>Fence Alarm Delay</source>
        <translation>Zaunalarm-Verzögerung</translation>
    </message>
    <message>
        <source>Fence State at Power On</source>
        <translation>Zaunzustand beim Einschalten</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Aus</translation>
    </message>
    <message>
        <source>On</source>
        <translation>Ein</translation>
    </message>
    <message>
        <source>Return to State on power Loss</source>
        <translation>Zustand vor Stromausfall wiederherstellen</translation>
    </message>
    <message>
        <source>Fence Condition Check Level</source>
        <translation>Prüfstufe Zaunzustand</translation>
    </message>
    <message>
        <source>Level 3 - fair to poor</source>
        <translation>Stufe 3 - mäßig bis schlecht</translation>
    </message>
    <message>
        <source>Level 4 - fair</source>
        <translation>Stufe 4 - mäßig</translation>
    </message>
    <message>
        <source>Level 5</source>
        <translation>Stufe 5</translation>
    </message>
    <message>
        <source>Level 6 - good</source>
        <translation>Stufe 6 - gut</translation>
    </message>
    <message>
        <source>Fence Control Algorithm</source>
        <translation>Zaun-Regelverfahren</translation>
    </message>
    <message>
        <source>Conventional</source>
        <translation>Konventionell</translation>
    </message>
    <message>
        <source>Arc detection and avoidance</source>
        <translation>Lichtbogenerkennung und -vermeidung</translation>
    </message>
    <message>
        <source>Fence Arсing Release Filter</source>
        <translation>Lichtbogen-Freigabefilter</translation>
    </message>
    <message>
        <source>Fence Arcing Detection Filter</source>
        <translation>Lichtbogen-Erkennungsfilter</translation>
    </message>
    <message>
        <source>Voltages (Volts)</source>
        <translation>Spannungen (Volt)</translation>
    </message>
    <message>
        <source>Fence Low Power Voltage</source>
        <translation>Zaunspannung Niedrigleistung</translation>
    </message>
    <message>
        <source>Fence High Power Voltage</source>
        <translation>Zaunspannung Hochleistung</translation>
    </message>
    <message>
        <source>Fence Low Power Alarm Level</source>
        <translation>Alarmschwelle Niedrigleistung</translation>
    </message>
    <message>
        <source>Fence High Power Alarm Level</source>
        <translation>Alarmschwelle Hochleistung</translation>
    </message>
    <message>
        <source>Fence High Power Check Power Level</source>
        <translation>Prüfschwelle Hochleistung</translation>
    </message>
    <message>
        <source>Storage Cap Max Allowed Power</source>
        <translation>Max. zulässige Leistung Speicherkondensator</translation>
    </message>
    <message>
        <source>Fence Arcing Detection Treshold</source>
        <translation>Lichtbogen-Erkennungsschwelle</translation>
    </message>
    <message>
        <source>Zone 2 Configuration</source>
        <translation>Konfiguration Zone 2</translation>
    </message>
    <message>
        <source>Siren Configuration</source>
        <translation>Sirenenkonfiguration</translation>
    </message>
    <message>
        <source>Siren On Time (mins : secs)</source>
        <translation>Sirene Ein-Zeit (min : s)</translation>
    </message>
    <message>
        <source>mm:ss</source>
        <translation>mm:ss</translation>
    </message>
    <message>
        <source>Siren Off Time (mins : secs)</source>
        <translation>Sirene Aus-Zeit (min : s)</translation>
    </message>
    <message>
        <source>Events Before Re-Arm Timeout</source>
        <translation>Ereignisse vor Wiederscharf-Sperre</translation>
    </message>
    <message>
        <source>Siren Re-Arm Time (days, hrs, mins, secs)</source>
        <translation>Sirene Wiederscharfzeit (Tage, Std, min, s)</translation>
    </message>
    <message>
        <source>hh:mm</source>
        <translation>hh:mm</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>ConfigDlg</name>
    <message>
        <source>%1 holds %2 of the %3 parameters; the others keep their values</source>
        <translation>%1 enthält %2 der %3 Parameter; die übrigen behalten ihre Werte</translation>
    </message>
    <message>
        <source>Dialog</source>
        <translation>Dialog</translation>
    </message>
    <message>
        <source>Energizer Communication Status</source>
        <translation>Kommunikationsstatus Weidezaungerät</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <source>General Configuration</source>
        <translation>Allgemeine Konfiguration</translation>
    </message>
    <message>
        <source>Mains Fail Chime</source>
        <translation>Signalton bei Netzausfall</translation>
    </message>
    <message>
        <source>Solar Powered Installation</source>
        <translation>Solarbetriebene Anlage</translation>
    </message>
    <message>
        <source>Magnetic Switch</source>
        <translation>Magnetschalter</translation>
    </message>
    <message>
        <source>User Configuration</source>
        <translation>Benutzerkonfiguration</translation>
    </message>
    <message>
        <source>Installer PIN</source>
        <translation>Installateur-PIN</translation>
    </message>
    <message>
        <source>Master PIN</source>
        <translation>Master-PIN</translation>
    </message>
    <message>
        <source>Reset PIN</source>
        <translation>Reset-PIN</translation>
    </message>
    <message>
        <source>Display Configuration</source>
        <translation>Anzeigekonfiguration</translation>
    </message>
    <message>
        <source>Show Key Presses on LCD</source>
        <translation>Tastendrücke auf LCD anzeigen</translation>
    </message>
    <message>
        <source>Display Installer Tel.Number</source>
        <translation>Telefonnummer des Installateurs anzeigen</translation>
    </message>
    <message>
        <source>Good, Check, Bad</source>
        <translation>Gut, Prüfen, Schlecht</translation>
    </message>
    <message>
        <source>V-Peak Out, V-Peak Return</source>
        <translation>V-Spitze Ausgang, V-Spitze Rückleitung</translation>
    </message>
    <message>
        <source>Stored Energy Capacity Used</source>
        <translation>Genutzte gespeicherte Energie</translation>
    </message>
    <message>
        <source>Fence Voltage Loss</source>
        <translation>Zaunspannungsverlust</translation>
    </message>
    <message>
        <source>Battery Voltage</source>
        <translation>Batteriespannung</translation>
    </message>
    <message>
        <source>Alarm &amp;&amp; Bypass Configuration</source>
        <translation>Alarm- &amp;&amp; Überbrückungskonfiguration</translation>
    </message>
    <message>
        <source>Fence Alarm Bypass Zone1</source>
        <translation>Zaunalarm überbrücken Zone 1</translation>
    </message>
    <message>
        <source>Fence Alarm Bypass Zone2</source>
        <translation>Zaunalarm überbrücken Zone 2</translation>
    </message>
    <message>
        <source>Gate Alarm Bypass</source>
        <translation>Toralarm überbrücken</translation>
    </message>
    <message>
        <source>Alarm Mute</source>
        <translation>Alarm stumm</translation>
    </message>
    <message>
        <source>Service Alarm</source>
        <translation>Servicealarm</translation>
    </message>
    <message>
        <source>Silent Alarm</source>
        <translation>Stiller Alarm</translation>
    </message>
    <message>
        <source>Tamper Alarm</source>
        <translation>Sabotagealarm</translation>
    </message>
    <message>
        <source>Gate Configuration</source>
        <translation>Torkonfiguration</translation>
    </message>
    <message>
        <source>Gate Alarm Instant</source>
        <translation>Toralarm sofort</translation>
    </message>
    <message>
        <source>Gate Chime</source>
        <translation>Torsignalton</translation>
    </message>
    <message>
        <source>Gate Chime Delay on Close</source>
        <translation>Torsignalton verzögert beim Schließen</translation>
    </message>
    <message>
        <source>Gate Alarm Delay Time</source>
        <translation>Toralarm-Verzögerungszeit</translation>
    </message>
    <message>
        <source>Zone 1 Strobe Light Relay Function</source>
        <translation>Blitzleuchtenrelais Zone 1</translation>
    </message>
    <message>
        <source>Zone 1 Strobe Light only</source>
        <translation>Nur Blitzleuchte Zone 1</translation>
    </message>
    <message>
        <source>Zone 1 and 2 combined</source>
        <translation>Zone 1 und 2 gemeinsam</translation>
    </message>
    <message>
        <source>Zone 2 Strobe Light Relay Function</source>
        <translation>Blitzleuchtenrelais Zone 2</translation>
    </message>
    <message>
        <source>Zone 2 Strobe Light only</source>
        <translation>Nur Blitzleuchte Zone 2</translation>
    </message>
    <message>
        <source>Fence On/Off (Zone 1+2)</source>
        <translation>Zaun Ein/Aus (Zone 1+2)</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>Show Advanced Options</source>
        <translation>Erweiterte Optionen</translation>
    </message>
    <message>
        <source>Input/Output Configuration</source>
        <translation>Ein-/Ausgangskonfiguration</translation>
    </message>
    <message>
        <source>Gate Input Function</source>
        <translation>Funktion Toreingang</translation>
    </message>
    <message>
        <source>Gate</source>
        <translation>Tor</translation>
    </message>
    <message>
        <source>Panic function</source>
        <translation>Panikfunktion</translation>
    </message>
    <message>
        <source>Both zones on (high) / off (low), locked off</source>
        <translation>Beide Zonen ein (high) / aus (low), gesperrt aus</translation>
    </message>
    <message>
        <source>Both zones on (low) / off (high), locked off</source>
        <translation>Beide Zonen ein (low) / aus (high), gesperrt aus</translation>
    </message>
    <message>
        <source>Expansion Card Configuration</source>
        <translation>Konfiguration Erweiterungskarte</translation>
    </message>
    <message>
        <source>Configuration 0</source>
        <translation>Konfiguration 0</translation>
    </message>
    <message>
        <source>Configuration 1</source>
        <translation>Konfiguration 1</translation>
    </message>
    <message>
        <source>Configuration 2</source>
        <translation>Konfiguration 2</translation>
    </message>
    <message>
        <source>Zone 1 On/Off Input function</source>
        <translation>Funktion Ein/Aus-Eingang Zone 1</translation>
    </message>
    <message>
        <source>Fence on/off control</source>
        <translation>Zaun ein/aus schalten</translation>
    </message>
    <message>
        <source>Panic</source>
        <translation>Panik</translation>
    </message>
    <message>
        <source>Zone 1 off  locked</source>
        <translation>Zone 1 aus gesperrt</translation>
    </message>
    <message>
        <source>Zone 1 On/Off Toggle</source>
        <translation>Ein/Aus-Umschaltung Zone 1</translation>
    </message>
    <message>
        <source>Absolute Mode</source>
        <translation>Absolutmodus</translation>
    </message>
    <message>
        <source>Toggle mode</source>
        <translation>Umschaltmodus</translation>
    </message>
    <message>
        <source>Zone 1 Hi/Lo Input function</source>
        <translation>Funktion Hoch/Niedrig-Eingang Zone 1</translation>
    </message>
    <message>
        <source>Zone 1 switch between hi/lo power mode</source>
        <translation>Zone 1 zwischen Hoch- und Niedrigleistung umschalten</translation>
    </message>
    <message>
        <source>Zone 1 Hi/Lo Toggle</source>
        <translation>Hoch/Niedrig-Umschaltung Zone 1</translation>
    </message>
    <message>
        <source>Zone 2 On/Off Input function</source>
        <translation>Funktion Ein/Aus-Eingang Zone 2</translation>
    </message>
    <message>
        <source>Zone 2 off locked</source>
        <translation>Zone 2 aus gesperrt</translation>
    </message>
    <message>
        <source>Zone 2 On/Off Toggle</source>
        <translation>Ein/Aus-Umschaltung Zone 2</translation>
    </message>
    <message>
        <source>Zone 2 Hi/Lo Input function</source>
        <translation>Funktion Hoch/Niedrig-Eingang Zone 2</translation>
    </message>
    <message>
        <source>Zone 2 switch between hi/lo power mode</source>
        <translation>Zone 2 zwischen Hoch- und Niedrigleistung umschalten</translation>
    </message>
    <message>
        <source>Zone 2 Hi/Lo Toggle</source>
        <translation>Hoch/Niedrig-Umschaltung Zone 2</translation>
    </message>
    <message>
        <source>Panic Input Function</source>
        <translation>Funktion Panikeingang</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Unbekannt</translation>
    </message>
    <message>
        <source>Panic Button</source>
        <translation>Paniktaster</translation>
    </message>
    <message>
        <source>Network Setup</source>
        <translation>Netzwerk</translation>
    </message>
    <message>
        <source>4 Zone Installation</source>
        <translation>4-Zonen-Anlage</translation>
    </message>
    <message>
        <source>Slave Energizer Present</source>
        <translation>Slave-Gerät vorhanden</translation>
    </message>
    <message>
        <source>Large Network Installation</source>
        <translation>Große Netzwerkanlage</translation>
    </message>
    <message>
        <source>Master Energizer Passive Sync</source>
        <translation>Passive Synchronisation des Master-Geräts</translation>
    </message>
    <message>
        <source>Large Network Topology</source>
        <translation>Große Netzwerktopologie</translation>
    </message>
    <message>
        <source>Large Network Address</source>
        <translation>Adresse im großen Netzwerk</translation>
    </message>
    <message>
        <source>Alarm Sensor Mode</source>
        <translation>Alarmsensor-Modus</translation>
    </message>
    <message>
        <source>Siren Relay Function in Alarm Sensor Mode</source>
        <translation>Sirenenrelais im Alarmsensor-Modus</translation>
    </message>
    <message>
        <source>Gate Alarm</source>
        <translation>Toralarm</translation>
    </message>
    <message>
        <source>Energizer on/off Indication</source>
        <translation>Anzeige Gerät ein/aus</translation>
    </message>
    <message>
        <source>Relay Function</source>
        <translation>Relaisfunktion</translation>
    </message>
    <message>
        <source>Relays Active Open</source>
        <translation>Relais aktiv offen</translation>
    </message>
    <message>
        <source>Load from file</source>
        <translation>Aus Datei laden</translation>
    </message>
    <message>
        <source>Write to file</source>
        <translation>In Datei schreiben</translation>
    </message>
    <message>
        <source>Read from energizer</source>
        <translation>Vom Gerät lesen</translation>
    </message>
    <message>
        <source>Write to energizer</source>
        <translation>In Gerät schreiben</translation>
    </message>
    <message>
        <source>Configuration</source>
        <translation>Konfiguration</translation>
    </message>
    <message>
        <source>Reading configuration from energizer...</source>
        <translation>Konfiguration wird vom Gerät gelesen...</translation>
    </message>
    <message>
        <source>Writing configuration to energizer...</source>
        <translation>Konfiguration wird in das Gerät geschrieben...</translation>
    </message>
    <message>
        <source>Save File</source>
        <translation>Datei speichern</translation>
    </message>
    <message>
        <source>XML Files (*.xml)</source>
        <translation>XML-Dateien (*.xml)</translation>
    </message>
    <message>
        <source>Select File</source>
        <translation>Datei auswählen</translation>
    </message>
    <message>
        <source>File writting error</source>
        <translation>Fehler beim Schreiben der Datei</translation>
    </message>
    <message>
        <source>This file is not an energizer configuration: %1.</source>
        <translation>Diese Datei ist keine Gerätekonfiguration: %1.</translation>
    </message>
    <message>
        <source>File loading error</source>
        <translation>Fehler beim Laden der Datei</translation>
    </message>
    <message>
        <source>%1 was not loaded.</source>
        <translation>%1 wurde nicht geladen.</translation>
    </message>
    <message>
        <source>Confirm the changes to write them to the energizer</source>
        <translation>Änderungen bestätigen, um sie in das Gerät zu schreiben</translation>
    </message>
    <message>
        <source>Reading the energizer&apos;s configuration before writing...</source>
        <translation>Konfiguration des Geräts wird vor dem Schreiben gelesen...</translation>
    </message>
</context>
<context>
    <name>ConfigFile</name>
    <message>
        <source>the file holds no XML element</source>
        <translation>die Datei enthält kein XML-Element</translation>
    </message>
    <message>
        <source>its root element is &lt;%1&gt;, not &lt;Configuration&gt;</source>
        <translation>ihr Wurzelelement ist &lt;%1&gt;, nicht &lt;Configuration&gt;</translation>
    </message>
    <message>
        <source>it holds none of the configuration parameters</source>
        <translation>sie enthält keinen der Konfigurationsparameter</translation>
    </message>
    <message>
        <source>it is not well-formed XML: %1 (line %2, column %3)</source>
        <translation>sie ist kein wohlgeformtes XML: %1 (Zeile %2, Spalte %3)</translation>
    </message>
</context>
<context>
    <name>ConfigPush</name>
    <message>
        <source>Configuration not written: the energizer did not answer the read before writing within %1 s</source>
        <translation>Konfiguration nicht geschrieben: das Gerät hat das Lesen vor dem Schreiben nicht innerhalb von %1 s beantwortet</translation>
    </message>
    <message>
        <source>Write cancelled: nothing was written to the energizer</source>
        <translation>Schreiben abgebrochen: nichts wurde in das Gerät geschrieben</translation>
    </message>
    <message>
        <source>Backup #%1 can be restored from Configuration → History.</source>
        <translation>Sicherung #%1 kann unter Konfiguration → Verlauf wiederhergestellt werden.</translation>
    </message>
</context>
<context>
    <name>ConfigTransfer</name>
    <message>
        <source>Configuration not written: %1 is not all decimal digits</source>
        <translation>Konfiguration nicht geschrieben: %1 besteht nicht nur aus Dezimalziffern</translation>
    </message>
    <message>
        <source>Configuration read from energizer</source>
        <translation>Konfiguration vom Gerät gelesen</translation>
    </message>
    <message>
        <source>Configuration not read: the link to the energizer is not connected</source>
        <translation>Konfiguration nicht gelesen: keine Verbindung zum Gerät</translation>
    </message>
    <message>
        <source>Configuration not read: no answer from the energizer within %1 s</source>
        <translation>Konfiguration nicht gelesen: keine Antwort vom Gerät innerhalb von %1 s</translation>
    </message>
    <message>
        <source>Configuration written and verified</source>
        <translation>Konfiguration geschrieben und geprüft</translation>
    </message>
    <message>
        <source>Configuration not written: the link to the energizer is not connected</source>
        <translation>Konfiguration nicht geschrieben: keine Verbindung zum Gerät</translation>
    </message>
    <message>
        <source>Configuration write not confirmed: no answer from the energizer within %1 s</source>
        <translation>Schreiben der Konfiguration nicht bestätigt: keine Antwort vom Gerät innerhalb von %1 s</translation>
    </message>
    <message>
        <source>Configuration write not confirmed: the energizer holds other bytes than were sent</source>
        <translation>Schreiben der Konfiguration nicht bestätigt: das Gerät enthält andere Bytes als gesendet</translation>
    </message>
    <message>
        <source>Configuration write not confirmed: the energizer holds other values for %1</source>
        <translation>Schreiben der Konfiguration nicht bestätigt: das Gerät enthält andere Werte für %1</translation>
    </message>
</context>
<context>
    <name>Energizer</name>
    <message>
        <source>Good</source>
        <translation>Gut</translation>
    </message>
    <message>
        <source>Check</source>
        <translation>Prüfen</translation>
    </message>
    <message>
        <source>Bad</source>
        <translation>Schlecht</translation>
    </message>
</context>
<context>
    <name>EnergizerLink</name>
    <message>
        <source>No parity</source>
        <translation>Keine Parität</translation>
    </message>
    <message>
        <source>Even parity</source>
        <translation>Gerade Parität</translation>
    </message>
    <message>
        <source>Odd parity</source>
        <translation>Ungerade Parität</translation>
    </message>
    <message>
        <source>Space parity</source>
        <translation>Space-Parität</translation>
    </message>
    <message>
        <source>Mark parity</source>
        <translation>Mark-Parität</translation>
    </message>
    <message>
        <source>Unknown parity</source>
        <translation>Unbekannte Parität</translation>
    </message>
    <message>
        <source>1 stop</source>
        <translation>1 Stoppbit</translation>
    </message>
    <message>
        <source>1.5 stop</source>
        <translation>1,5 Stoppbits</translation>
    </message>
    <message>
        <source>2 stop</source>
        <translation>2 Stoppbits</translation>
    </message>
    <message>
        <source>Unknown stop</source>
        <translation>Unbekannte Stoppbits</translation>
    </message>
    <message>
        <source>No Flow Control</source>
        <translation>Keine Flusssteuerung</translation>
    </message>
    <message>
        <source>Hardware Flow Control</source>
        <translation>Hardware-Flusssteuerung</translation>
    </message>
    <message>
        <source>Software Flow Control</source>
        <translation>Software-Flusssteuerung</translation>
    </message>
    <message>
        <source>Unknown Flow Control</source>
        <translation>Unbekannte Flusssteuerung</translation>
    </message>
    <message>
        <source>Connected to %1 : %2, %3, %4, %5, %6</source>
        <translation>Verbunden mit %1 : %2, %3, %4, %5, %6</translation>
    </message>
    <message>
        <source>%1 bits</source>
        <translation>%1 Bits</translation>
    </message>
    <message>
        <source>Not available serial ports</source>
        <translation>Keine seriellen Schnittstellen verfügbar</translation>
    </message>
    <message>
        <source>Connection failed. </source>
        <translation>Verbindung fehlgeschlagen. </translation>
    </message>
    <message>
        <source>Terminal is not ready</source>
        <translation>Terminal ist nicht bereit</translation>
    </message>
    <message>
        <source>Connecting to %1 : %2</source>
        <translation>Verbinde mit %1 : %2</translation>
    </message>
    <message>
        <source>Connected to %1 : %2</source>
        <translation>Verbunden mit %1 : %2</translation>
    </message>
</context>
<context>
    <name>HistoryDlg</name>
    <message>
        <source>Parameter</source>
        <translation>Parameter</translation>
    </message>
    <message>
        <source>Export as XML...</source>
        <translation>Als XML exportieren...</translation>
    </message>
    <message>
        <source>Restore to energizer...</source>
        <translation>Im Gerät wiederherstellen...</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Energizer %1 on %2</source>
        <translation>Gerät %1 an %2</translation>
    </message>
    <message>
        <source>no link</source>
        <translation>keine Verbindung</translation>
    </message>
    <message>
        <source>Export history entry</source>
        <translation>Verlaufseintrag exportieren</translation>
    </message>
    <message>
        <source>XML files (*.xml)</source>
        <translation>XML-Dateien (*.xml)</translation>
    </message>
    <message>
        <source>Writing configuration to energizer...</source>
        <translation>Konfiguration wird in das Gerät geschrieben...</translation>
    </message>
    <message>
        <source>No entries for this energizer yet</source>
        <translation>Noch keine Einträge für dieses Gerät</translation>
    </message>
    <message>
        <source>Select one entry to compare it with the energizer now, or two to compare them with each other.</source>
        <translation>Einen Eintrag wählen, um ihn mit dem aktuellen Stand des Geräts zu vergleichen, oder zwei, um sie miteinander zu vergleichen.</translation>
    </message>
    <message>
        <source>Entry #%1</source>
        <translation>Eintrag #%1</translation>
    </message>
    <message>
        <source>Energizer now</source>
        <translation>Gerät jetzt</translation>
    </message>
    <message>
        <source>Reading the energizer&apos;s configuration...</source>
        <translation>Konfiguration des Geräts wird gelesen...</translation>
    </message>
    <message>
        <source>%1 against %2: no parameter differs</source>
        <translation>%1 gegen %2: kein Parameter unterscheidet sich</translation>
    </message>
    <message>
        <source>%1 against %2: parameters that differ: %3</source>
        <translation>%1 gegen %2: abweichende Parameter: %3</translation>
    </message>
    <message>
        <source>Entry #%1 not exported: %2</source>
        <translation>Eintrag #%1 nicht exportiert: %2</translation>
    </message>
    <message>
        <source>Entry #%1 exported to %2</source>
        <translation>Eintrag #%1 exportiert nach %2</translation>
    </message>
    <message>
        <source>The energizer is busy with another exchange; try again in a moment</source>
        <translation>Das Gerät ist mit einem anderen Austausch beschäftigt; bitte gleich noch einmal versuchen</translation>
    </message>
    <message>
        <source>Reading the energizer&apos;s configuration before writing...</source>
        <translation>Konfiguration des Geräts wird vor dem Schreiben gelesen...</translation>
    </message>
    <message>
        <source>the energizer now</source>
        <translation>das Gerät jetzt</translation>
    </message>
    <message>
        <source>Energizer timeline</source>
        <translation>Zeitleiste des Geräts</translation>
    </message>
    <message>
        <source>Show:</source>
        <translation>Anzeigen:</translation>
    </message>
    <message>
        <source>Configuration</source>
        <translation>Konfiguration</translation>
    </message>
    <message>
        <source>On and off line</source>
        <translation>Online und offline</translation>
    </message>
    <message>
        <source>Alarms</source>
        <translation>Alarme</translation>
    </message>
    <message>
        <source>Faults</source>
        <translation>Störungen</translation>
    </message>
    <message>
        <source>Zone switches</source>
        <translation>Zonenschaltungen</translation>
    </message>
</context>
<context>
    <name>HistoryStore</name>
    <message>
        <source>history file</source>
        <translation>Verlaufsdatei</translation>
    </message>
    <message>
        <source>cannot read</source>
        <translation>kann nicht gelesen werden</translation>
    </message>
    <message>
        <source>no history table</source>
        <translation>keine Verlaufstabelle</translation>
    </message>
    <message>
        <source>cannot create the history table</source>
        <translation>die Verlaufstabelle kann nicht angelegt werden</translation>
    </message>
    <message>
        <source>history entry without a link</source>
        <translation>Verlaufseintrag ohne Verbindung</translation>
    </message>
    <message>
        <source>history entry for address %1, not 0..63</source>
        <translation>Verlaufseintrag für Adresse %1, nicht 0..63</translation>
    </message>
    <message>
        <source>not updated</source>
        <translation>nicht aktualisiert</translation>
    </message>
    <message>
        <source>history entry %1 holds %2 bytes, not a configuration block</source>
        <translation>Verlaufseintrag %1 enthält %2 Bytes, keinen Konfigurationsblock</translation>
    </message>
    <message>
        <source>history entry %1 is of unknown kind &apos;%2&apos;</source>
        <translation>Verlaufseintrag %1 ist von unbekannter Art „%2“</translation>
    </message>
    <message>
        <source>cannot list</source>
        <translation>kann nicht aufgelistet werden</translation>
    </message>
    <message>
        <source>no history entry %1</source>
        <translation>kein Verlaufseintrag %1</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>No timeline is kept: %1</source>
        <translation>Es wird keine Zeitleiste geführt: %1</translation>
    </message>
    <message>
        <source>MainWindow</source>
        <translation>Hauptfenster</translation>
    </message>
    <message>
        <source>Energiser status</source>
        <translation>Gerätestatus</translation>
    </message>
    <message>
        <source>Magnetic switch:</source>
        <translation>Magnetschalter:</translation>
    </message>
    <message>
        <source>Tamper:</source>
        <translation>Sabotage:</translation>
    </message>
    <message>
        <source>Sync Master/Slave:</source>
        <translation>Sync Master/Slave:</translation>
    </message>
    <message>
        <source>Sync loss:</source>
        <translation>Sync-Verlust:</translation>
    </message>
    <message>
        <source>Service:</source>
        <translation>Service:</translation>
    </message>
    <message>
        <source>Aux: Fuse:</source>
        <translation>Hilfssicherung:</translation>
    </message>
    <message>
        <source>Gate Alarm:</source>
        <translation>Toralarm:</translation>
    </message>
    <message>
        <source>Panic Alarm:</source>
        <translation>Panikalarm:</translation>
    </message>
    <message>
        <source>Mains Fail:</source>
        <translation>Netzausfall:</translation>
    </message>
    <message>
        <source>Battery Fuse:</source>
        <translation>Batteriesicherung:</translation>
    </message>
    <message>
        <source>Battery Flat:</source>
        <translation>Batterie leer:</translation>
    </message>
    <message>
        <source>Battery voltage:</source>
        <translation>Batteriespannung:</translation>
    </message>
    <message>
        <source>Supply voltage:</source>
        <translation>Versorgungsspannung:</translation>
    </message>
    <message>
        <source>Energiser Communication Status</source>
        <translation>Kommunikationsstatus Gerät</translation>
    </message>
    <message>
        <source>Fence 1 Control</source>
        <translation>Steuerung Zaun 1</translation>
    </message>
    <message>
        <source>ON/OFF</source>
        <translation>EIN/AUS</translation>
    </message>
    <message>
        <source>LV/HV</source>
        <translation>NS/HS</translation>
    </message>
    <message>
        <source>Fence ON:</source>
        <translation>Zaun EIN:</translation>
    </message>
    <message>
        <source>Fence HV:</source>
        <translation>Zaun HS:</translation>
    </message>
    <message>
        <source>Fence Status:</source>
        <translation>Zaunstatus:</translation>
    </message>
    <message>
        <source>Output Voltage:</source>
        <translation>Ausgangsspannung:</translation>
    </message>
    <message>
        <source>Return Voltage:</source>
        <translation>Rückleiterspannung:</translation>
    </message>
    <message>
        <source>HP Cap Voltage:</source>
        <translation>HP-Kondensatorspannung:</translation>
    </message>
    <message>
        <source>Fence Condition:</source>
        <translation>Zaunzustand:</translation>
    </message>
    <message>
        <source>Fence 2 Control</source>
        <translation>Steuerung Zaun 2</translation>
    </message>
    <message>
        <source>Fence 1 Service</source>
        <translation>Service Zaun 1</translation>
    </message>
    <message>
        <source>Vout Error:</source>
        <translation>Vout-Fehler:</translation>
    </message>
    <message>
        <source>SCR Fail:</source>
        <translation>SCR-Ausfall:</translation>
    </message>
    <message>
        <source>Flyback Fail:</source>
        <translation>Flyback-Ausfall:</translation>
    </message>
    <message>
        <source>Interference:</source>
        <translation>Störung:</translation>
    </message>
    <message>
        <source>Fence 2 Service</source>
        <translation>Service Zaun 2</translation>
    </message>
    <message>
        <source>Fence Inputs</source>
        <translation>Zauneingänge</translation>
    </message>
    <message>
        <source>Gate:</source>
        <translation>Tor:</translation>
    </message>
    <message>
        <source>Zone 1 ON/OFF:</source>
        <translation>Zone 1 EIN/AUS:</translation>
    </message>
    <message>
        <source>Zone 2 ON/OFF:</source>
        <translation>Zone 2 EIN/AUS:</translation>
    </message>
    <message>
        <source>Panic:</source>
        <translation>Panik:</translation>
    </message>
    <message>
        <source>Zone 1 HV/LV:</source>
        <translation>Zone 1 HS/NS:</translation>
    </message>
    <message>
        <source>Zone 2 HV/LV:</source>
        <translation>Zone 2 HS/NS:</translation>
    </message>
    <message>
        <source>Energiser Outputs</source>
        <translation>Geräteausgänge</translation>
    </message>
    <message>
        <source>Strobe 1:</source>
        <translation>Blitzleuchte 1:</translation>
    </message>
    <message>
        <source>Strobe 2:</source>
        <translation>Blitzleuchte 2:</translation>
    </message>
    <message>
        <source>Siren:</source>
        <translation>Sirene:</translation>
    </message>
    <message>
        <source>CONFIG</source>
        <translation>KONFIG</translation>
    </message>
    <message>
        <source>SCOPE</source>
        <translation>SCOPE</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>Comms</source>
        <translation>Verbindung</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>Serial connection settings</source>
        <translation>Verbindungseinstellungen</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Orvik Configurator</source>
        <translation>Orvik Configurator</translation>
    </message>
    <message>
        <source>Not connected</source>
        <translation>Nicht verbunden</translation>
    </message>
    <message>
        <source>No configuration has arrived from the energizer yet</source>
        <translation>Vom Gerät ist noch keine Konfiguration eingetroffen</translation>
    </message>
    <message>
        <source>Configuration is not loaded from energizer</source>
        <translation>Konfiguration ist nicht vom Gerät geladen</translation>
    </message>
    <message>
        <source>The energizer&apos;s installer PIN differs from the one set in Comms → Serial connection settings → Installer PIN</source>
        <translation>Die Installateur-PIN des Geräts weicht von der unter Verbindung → Verbindungseinstellungen → Installateur-PIN eingestellten ab</translation>
    </message>
    <message>
        <source>Configuration</source>
        <translation>Konfiguration</translation>
    </message>
    <message>
        <source>History...</source>
        <translation>Verlauf...</translation>
    </message>
    <message>
        <source>No configuration history is kept: %1</source>
        <translation>Es wird kein Konfigurationsverlauf geführt: %1</translation>
    </message>
    <message>
        <source>Trend...</source>
        <translation>Trend...</translation>
    </message>
</context>
<context>
    <name>QApplication</name>
    <message>
        <source>Energizer Configurator</source>
        <translation>Energizer Configurator</translation>
    </message>
</context>
<context>
    <name>ScopeDlg</name>
    <message>
        <source>Scopes</source>
        <translation>Scopes</translation>
    </message>
    <message>
        <source>Energizer Communication Status</source>
        <translation>Kommunikationsstatus Weidezaungerät</translation>
    </message>
    <message>
        <source>Zone 1</source>
        <translation>Zone 1</translation>
    </message>
    <message>
        <source>Zone 2</source>
        <translation>Zone 2</translation>
    </message>
    <message>
        <source>CLOSE</source>
        <translation>SCHLIESSEN</translation>
    </message>
</context>
<context>
    <name>ScopeUnit</name>
    <message>
        <source>Output Voltage:</source>
        <translation>Ausgangsspannung:</translation>
    </message>
    <message>
        <source>Return Voltage:</source>
        <translation>Rückleiterspannung:</translation>
    </message>
    <message>
        <source>HV Check Level:</source>
        <translation>HS-Prüfschwelle:</translation>
    </message>
    <message>
        <source>HV Alarm Level:</source>
        <translation>HS-Alarmschwelle:</translation>
    </message>
    <message>
        <source>LV Alarm Level:</source>
        <translation>NS-Alarmschwelle:</translation>
    </message>
    <message>
        <source>Good/Check/Bad:</source>
        <translation>Gut/Prüfen/Schlecht:</translation>
    </message>
    <message>
        <source>Zone state:</source>
        <translation>Zonenzustand:</translation>
    </message>
    <message>
        <source>Stored Energy:</source>
        <translation>Gespeicherte Energie:</translation>
    </message>
    <message>
        <source>Capacity Used:</source>
        <translation>Genutzte Kapazität:</translation>
    </message>
    <message>
        <source>Battery Voltage:</source>
        <translation>Batteriespannung:</translation>
    </message>
    <message>
        <source>Fence 1</source>
        <translation>Zaun 1</translation>
    </message>
    <message>
        <source>Fence 1 Actual</source>
        <translation>Zaun 1 aktuell</translation>
    </message>
    <message>
        <source>Fence 2</source>
        <translation>Zaun 2</translation>
    </message>
    <message>
        <source>Fence 2 Actual</source>
        <translation>Zaun 2 aktuell</translation>
    </message>
    <message>
        <source>N/A</source>
        <translation>k. A.</translation>
    </message>
    <message>
        <source>Voltages</source>
        <translation>Spannungen</translation>
    </message>
</context>
<context>
    <name>SettingsDlg</name>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Select Serial Port</source>
        <translation>Serielle Schnittstelle wählen</translation>
    </message>
    <message>
        <source>Scan ports</source>
        <translation>Schnittstellen suchen</translation>
    </message>
    <message>
        <source>Description:</source>
        <translation>Beschreibung:</translation>
    </message>
    <message>
        <source>Manufacturer:</source>
        <translation>Hersteller:</translation>
    </message>
    <message>
        <source>Serial number:</source>
        <translation>Seriennummer:</translation>
    </message>
    <message>
        <source>Location:</source>
        <translation>Ort:</translation>
    </message>
    <message>
        <source>Vendor ID:</source>
        <translation>Hersteller-ID:</translation>
    </message>
    <message>
        <source>Product ID:</source>
        <translation>Produkt-ID:</translation>
    </message>
    <message>
        <source>Select Parameters</source>
        <translation>Parameter wählen</translation>
    </message>
    <message>
        <source>BaudRate:</source>
        <translation>Baudrate:</translation>
    </message>
    <message>
        <source>Data bits:</source>
        <translation>Datenbits:</translation>
    </message>
    <message>
        <source>Parity:</source>
        <translation>Parität:</translation>
    </message>
    <message>
        <source>Stop bits:</source>
        <translation>Stoppbits:</translation>
    </message>
    <message>
        <source>Flow control:</source>
        <translation>Flusssteuerung:</translation>
    </message>
    <message>
        <source>Energizer address</source>
        <translation>Geräteadresse</translation>
    </message>
    <message>
        <source>Installer PIN</source>
        <translation>Installateur-PIN</translation>
    </message>
    <message>
        <source>Serial port</source>
        <translation>Serielle Schnittstelle</translation>
    </message>
    <message>
        <source>Network</source>
        <translation>Netzwerk</translation>
    </message>
    <message>
        <source>Network mode</source>
        <translation>Netzwerkmodus</translation>
    </message>
    <message>
        <source>USR module set as:</source>
        <translation>USR-Modul eingestellt als:</translation>
    </message>
    <message>
        <source>UDP server</source>
        <translation>UDP-Server</translation>
    </message>
    <message>
        <source>UDP client</source>
        <translation>UDP-Client</translation>
    </message>
    <message>
        <source>TCP server</source>
        <translation>TCP-Server</translation>
    </message>
    <message>
        <source>Own IP address:</source>
        <translation>Eigene IP-Adresse:</translation>
    </message>
    <message>
        <source>IP address:</source>
        <translation>IP-Adresse:</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Übernehmen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>N/A</source>
        <translation>k. A.</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Keine</translation>
    </message>
    <message>
        <source>Even</source>
        <translation>Gerade</translation>
    </message>
    <message>
        <source>Odd</source>
        <translation>Ungerade</translation>
    </message>
    <message>
        <source>Mark</source>
        <translation>Mark</translation>
    </message>
    <message>
        <source>Space</source>
        <translation>Space</translation>
    </message>
    <message>
        <source>1.5</source>
        <translation>1.5</translation>
    </message>
    <message>
        <source>RTS/CTS</source>
        <translation>RTS/CTS</translation>
    </message>
    <message>
        <source>XON/XOFF</source>
        <translation>XON/XOFF</translation>
    </message>
    <message>
        <source>Description: %1</source>
        <translation>Beschreibung: %1</translation>
    </message>
    <message>
        <source>Manufacturer: %1</source>
        <translation>Hersteller: %1</translation>
    </message>
    <message>
        <source>Serial number: %1</source>
        <translation>Seriennummer: %1</translation>
    </message>
    <message>
        <source>Location: %1</source>
        <translation>Ort: %1</translation>
    </message>
    <message>
        <source>Vendor Identifier: %1</source>
        <translation>Hersteller-ID: %1</translation>
    </message>
    <message>
        <source>Product Identifier: %1</source>
        <translation>Produkt-ID: %1</translation>
    </message>
    <message>
        <source>Timeline kept on this PC</source>
        <translation>Auf diesem PC geführte Zeitleiste</translation>
    </message>
    <message>
        <source>Events (days)</source>
        <translation>Ereignisse (Tage)</translation>
    </message>
    <message>
        <source>Minute readings (days)</source>
        <translation>Minutenwerte (Tage)</translation>
    </message>
</context>
<context>
    <name>SqliteFile</name>
    <message>
        <source>unknown error</source>
        <translation>unbekannter Fehler</translation>
    </message>
    <message>
        <source>%1 %2: %3: %4</source>
        <translation>%1 %2: %3: %4</translation>
    </message>
    <message>
        <source>cannot create folder %1: %2 is not a folder</source>
        <translation>Ordner %1 kann nicht angelegt werden: %2 ist kein Ordner</translation>
    </message>
    <message>
        <source>cannot create folder %1: %2</source>
        <translation>Ordner %1 kann nicht angelegt werden: %2</translation>
    </message>
    <message>
        <source>no %1 given</source>
        <translation>keine %1 angegeben</translation>
    </message>
    <message>
        <source>%1 %2 is a symbolic link (to %3); give the file itself</source>
        <translation>%1 %2 ist ein symbolischer Link (auf %3); bitte die Datei selbst angeben</translation>
    </message>
    <message>
        <source>%1 %2 is a folder, not a file</source>
        <translation>%1 %2 ist ein Ordner, keine Datei</translation>
    </message>
    <message>
        <source>%1 %2 is not a regular file</source>
        <translation>%1 %2 ist keine gewöhnliche Datei</translation>
    </message>
    <message>
        <source>cannot create %1 %2: %3</source>
        <translation>%1 %2 kann nicht angelegt werden: %3</translation>
    </message>
    <message>
        <source>%1 not used: Qt&apos;s SQLite driver is missing (Debian: libqt5sql5-sqlite)</source>
        <translation>%1 nicht verwendet: Qts SQLite-Treiber fehlt (Debian: libqt5sql5-sqlite)</translation>
    </message>
    <message>
        <source>cannot open</source>
        <translation>kann nicht geöffnet werden</translation>
    </message>
    <message>
        <source>cannot read</source>
        <translation>kann nicht gelesen werden</translation>
    </message>
    <message>
        <source>%1 %2 has schema version %3, newer than the %4 this program knows; a newer version of it wrote the file</source>
        <translation>%1 %2 hat die Schemaversion %3, neuer als die %4, die dieses Programm kennt; eine neuere Version hat die Datei geschrieben</translation>
    </message>
    <message>
        <source>%1 %2 has schema version %3, which no version of this program writes</source>
        <translation>%1 %2 hat die Schemaversion %3, die keine Version dieses Programms schreibt</translation>
    </message>
    <message>
        <source>cannot switch to WAL mode</source>
        <translation>kann nicht in den WAL-Modus wechseln</translation>
    </message>
    <message>
        <source>%1 %2 stays in journal mode %3 instead of WAL</source>
        <translation>%1 %2 bleibt im Journalmodus %3 statt WAL</translation>
    </message>
</context>
<context>
    <name>TimelineModel</name>
    <message>
        <source>read</source>
        <translation>gelesen</translation>
    </message>
    <message>
        <source>backup</source>
        <translation>Sicherung</translation>
    </message>
    <message>
        <source>written</source>
        <translation>geschrieben</translation>
    </message>
    <message>
        <source>restored</source>
        <translation>wiederhergestellt</translation>
    </message>
    <message>
        <source>sent</source>
        <translation>gesendet</translation>
    </message>
    <message>
        <source>on line</source>
        <translation>online</translation>
    </message>
    <message>
        <source>off line</source>
        <translation>offline</translation>
    </message>
    <message>
        <source>alarm raised: %1</source>
        <translation>Alarm ausgelöst: %1</translation>
    </message>
    <message>
        <source>alarm cleared: %1</source>
        <translation>Alarm aufgehoben: %1</translation>
    </message>
    <message>
        <source>fault raised: %1</source>
        <translation>Störung aufgetreten: %1</translation>
    </message>
    <message>
        <source>fault cleared: %1</source>
        <translation>Störung behoben: %1</translation>
    </message>
    <message>
        <source>zone %1 on</source>
        <translation>Zone %1 ein</translation>
    </message>
    <message>
        <source>zone %1 off</source>
        <translation>Zone %1 aus</translation>
    </message>
    <message>
        <source>zone %1 high voltage</source>
        <translation>Zone %1 Hochspannung</translation>
    </message>
    <message>
        <source>zone %1 low voltage</source>
        <translation>Zone %1 Niederspannung</translation>
    </message>
    <message>
        <source>No history is kept: %1</source>
        <translation>Es wird kein Verlauf geführt: %1</translation>
    </message>
    <message>
        <source>this window has no history file</source>
        <translation>dieses Fenster hat keine Verlaufsdatei</translation>
    </message>
    <message>
        <source>The history could not be read: %1</source>
        <translation>Der Verlauf konnte nicht gelesen werden: %1</translation>
    </message>
    <message>
        <source>The timeline could not be read: %1</source>
        <translation>Die Zeitleiste konnte nicht gelesen werden: %1</translation>
    </message>
    <message>
        <source>No timeline is kept: %1</source>
        <translation>Es wird keine Zeitleiste geführt: %1</translation>
    </message>
    <message>
        <source>Id</source>
        <translation>Nr.</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Zeit</translation>
    </message>
    <message>
        <source>Kind</source>
        <translation>Art</translation>
    </message>
    <message>
        <source>User</source>
        <translation>Benutzer</translation>
    </message>
    <message>
        <source>Changed</source>
        <translation>Geändert</translation>
    </message>
</context>
<context>
    <name>TimelineStore</name>
    <message>
        <source>timeline file</source>
        <translation>Zeitleistendatei</translation>
    </message>
    <message>
        <source>no timeline tables</source>
        <translation>keine Zeitleistentabellen</translation>
    </message>
    <message>
        <source>cannot create the timeline tables</source>
        <translation>die Zeitleistentabellen können nicht angelegt werden</translation>
    </message>
    <message>
        <source>not written</source>
        <translation>nicht geschrieben</translation>
    </message>
    <message>
        <source>cannot list</source>
        <translation>kann nicht aufgelistet werden</translation>
    </message>
    <message>
        <source>not pruned</source>
        <translation>nicht bereinigt</translation>
    </message>
</context>
<context>
    <name>TrendDlg</name>
    <message>
        <source>Trend</source>
        <translation>Trend der Messwerte</translation>
    </message>
    <message>
        <source>Last hour</source>
        <translation>Letzte Stunde</translation>
    </message>
    <message>
        <source>Last day</source>
        <translation>Letzter Tag</translation>
    </message>
    <message>
        <source>Last week</source>
        <translation>Letzte Woche</translation>
    </message>
    <message>
        <source>Chosen range</source>
        <translation>Gewählter Zeitraum</translation>
    </message>
    <message>
        <source>from</source>
        <translation>von</translation>
    </message>
    <message>
        <source>until</source>
        <translation>bis</translation>
    </message>
    <message>
        <source>Export CSV...</source>
        <translation>Als CSV exportieren...</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Zone 1 output</source>
        <translation>Zone 1 Ausgang</translation>
    </message>
    <message>
        <source>Zone 1 return</source>
        <translation>Zone 1 Rückleitung</translation>
    </message>
    <message>
        <source>Zone 2 output</source>
        <translation>Zone 2 Ausgang</translation>
    </message>
    <message>
        <source>Zone 2 return</source>
        <translation>Zone 2 Rückleitung</translation>
    </message>
    <message>
        <source>Battery</source>
        <translation>Batterie</translation>
    </message>
    <message>
        <source>Energizer %1 on %2</source>
        <translation>Gerät %1 an %2</translation>
    </message>
    <message>
        <source>no link</source>
        <translation>keine Verbindung</translation>
    </message>
    <message>
        <source>Zone voltage (V)</source>
        <translation>Zonenspannung (V)</translation>
    </message>
    <message>
        <source>Battery (V)</source>
        <translation>Batterie (V)</translation>
    </message>
    <message>
        <source>Export trend</source>
        <translation>Messwerte exportieren</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV-Dateien (*.csv)</translation>
    </message>
    <message>
        <source>The range ends before it starts</source>
        <translation>Der Zeitraum endet, bevor er beginnt</translation>
    </message>
    <message>
        <source>No timeline is kept: %1</source>
        <translation>Es wird keine Zeitleiste geführt: %1</translation>
    </message>
    <message>
        <source>this window has no timeline file</source>
        <translation>dieses Fenster hat keine Zeitleistendatei</translation>
    </message>
    <message>
        <source>No readings in this range</source>
        <translation>Keine Messwerte in diesem Zeitraum</translation>
    </message>
    <message>
        <source>Readings of %2 minutes each: %1</source>
        <translation>Messwerte zu je %2 Minuten: %1</translation>
    </message>
    <message>
        <source>Minute readings: %1</source>
        <translation>Minutenwerte: %1</translation>
    </message>
    <message>
        <source>The timeline could not be read: %1</source>
        <translation>Die Zeitleiste konnte nicht gelesen werden: %1</translation>
    </message>
    <message>
        <source>zone %1 high voltage alarm</source>
        <translation>Zone %1 Hochspannungsalarm</translation>
    </message>
    <message>
        <source>zone %1 low voltage alarm</source>
        <translation>Zone %1 Niederspannungsalarm</translation>
    </message>
    <message>
        <source>The trend was not exported: %1</source>
        <translation>Die Messwerte wurden nicht exportiert: %1</translation>
    </message>
    <message>
        <source>%1 readings exported to %2</source>
        <translation>%1 Messwerte nach %2 exportiert</translation>
    </message>
</context>
<context>
    <name>WritePreviewDlg</name>
    <message>
        <source>Write to energizer</source>
        <translation>In Gerät schreiben</translation>
    </message>
    <message>
        <source>Parameter</source>
        <translation>Parameter</translation>
    </message>
    <message>
        <source>On the energizer</source>
        <translation>Im Gerät</translation>
    </message>
    <message>
        <source>New value</source>
        <translation>Neuer Wert</translation>
    </message>
    <message>
        <source>No parameter changes</source>
        <translation>Keine Parameteränderungen</translation>
    </message>
    <message>
        <source>Write</source>
        <translation>Schreiben</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>The energizer already holds this configuration.</source>
        <translation>Das Gerät enthält diese Konfiguration bereits.</translation>
    </message>
    <message>
        <source>These parameters will change on the energizer.</source>
        <translation>Diese Parameter werden im Gerät geändert.</translation>
    </message>
    <message>
        <source>Its configuration before the write is kept as backup #%1.</source>
        <translation>Seine Konfiguration vor dem Schreiben ist als Sicherung #%1 gespeichert.</translation>
    </message>
    <message>
        <source>Its configuration before the write could not be kept in the history.</source>
        <translation>Seine Konfiguration vor dem Schreiben konnte nicht im Verlauf gespeichert werden.</translation>
    </message>
</context>
<context>
    <name>YourScaleDraw</name>
    <message>
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
</context>
</TS>
