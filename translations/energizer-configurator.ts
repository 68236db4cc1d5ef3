<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1">
<context>
    <name>AdvOptionsDlg</name>
    <message>
        <source>Zone 1 Configuration</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fence Interference Alarm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fence Alarm Delay</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fence State at Power On</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Off</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>On</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Return to State on power Loss</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fence Condition Check Level</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Level 3 - fair to poor</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Level 4 - fair</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Level 5</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Level 6 - good</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fence Control Algorithm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Conventional</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Arc detection and avoidance</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fence Arсing Release Filter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fence Arcing Detection Filter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Voltages (Volts)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fence Low Power Voltage</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fence High Power Voltage</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fence Low Power Alarm Level</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fence High Power Alarm Level</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fence High Power Check Power Level</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Storage Cap Max Allowed Power</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fence Arcing Detection Treshold</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zone 2 Configuration</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Siren Configuration</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Siren On Time (mins : secs)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>mm:ss</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Siren Off Time (mins : secs)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Events Before Re-Arm Timeout</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Siren Re-Arm Time (days, hrs, mins, secs)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>hh:mm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ConfigDlg</name>
    <message>
        <source>%1 holds %2 of the %3 parameters; the others keep their values</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Dialog</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Energizer Communication Status</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Options</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>General Configuration</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mains Fail Chime</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Solar Powered Installation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Magnetic Switch</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>User Configuration</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Installer PIN</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Master PIN</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reset PIN</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Display Configuration</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show Key Presses on LCD</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Display Installer Tel.Number</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Good, Check, Bad</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>V-Peak Out, V-Peak Return</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stored Energy Capacity Used</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fence Voltage Loss</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Battery Voltage</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Alarm &amp;&amp; Bypass Configuration</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fence Alarm Bypass Zone1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fence Alarm Bypass Zone2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Gate Alarm Bypass</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Alarm Mute</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Service Alarm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Silent Alarm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tamper Alarm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Gate Configuration</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Gate Alarm Instant</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Gate Chime</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Gate Chime Delay on Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Gate Alarm Delay Time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zone 1 Strobe Light Relay Function</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zone 1 Strobe Light only</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zone 1 and 2 combined</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zone 2 Strobe Light Relay Function</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zone 2 Strobe Light only</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fence On/Off (Zone 1+2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Default</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show Advanced Options</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Input/Output Configuration</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Gate Input Function</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Gate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Panic function</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Both zones on (high) / off (low), locked off</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Both zones on (low) / off (high), locked off</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Expansion Card Configuration</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Configuration 0</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Configuration 1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Configuration 2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zone 1 On/Off Input function</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fence on/off control</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Panic</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zone 1 off  locked</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zone 1 On/Off Toggle</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Absolute Mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Toggle mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zone 1 Hi/Lo Input function</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zone 1 switch between hi/lo power mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zone 1 Hi/Lo Toggle</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zone 2 On/Off Input function</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zone 2 off locked</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zone 2 On/Off Toggle</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zone 2 Hi/Lo Input function</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zone 2 switch between hi/lo power mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zone 2 Hi/Lo Toggle</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Panic Input Function</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Panic Button</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Network Setup</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>4 Zone Installation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slave Energizer Present</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Large Network Installation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Master Energizer Passive Sync</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Large Network Topology</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Large Network Address</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Alarm Sensor Mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Siren Relay Function in Alarm Sensor Mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Gate Alarm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Energizer on/off Indication</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Relay Function</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Relays Active Open</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Load from file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Write to file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Read from energizer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Write to energizer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Configuration</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reading configuration from energizer...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Writing configuration to energizer...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>XML Files (*.xml)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File writting error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This file is not an energizer configuration: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File loading error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 was not loaded.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Confirm the changes to write them to the energizer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reading the energizer&apos;s configuration before writing...</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ConfigFile</name>
    <message>
        <source>the file holds no XML element</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its root element is &lt;%1&gt;, not &lt;Configuration&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it holds none of the configuration parameters</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it is not well-formed XML: %1 (line %2, column %3)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ConfigPush</name>
    <message>
        <source>Configuration not written: the energizer did not answer the read before writing within %1 s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Write cancelled: nothing was written to the energizer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Backup #%1 can be restored from Configuration → History.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ConfigTransfer</name>
    <message>
        <source>Configuration not written: %1 is not all decimal digits</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Configuration read from energizer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Configuration not read: the link to the energizer is not connected</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Configuration not read: no answer from the energizer within %1 s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Configuration written and verified</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Configuration not written: the link to the energizer is not connected</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Configuration write not confirmed: no answer from the energizer within %1 s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Configuration write not confirmed: the energizer holds other bytes than were sent</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Configuration write not confirmed: the energizer holds other values for %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Energizer</name>
    <message>
        <source>Good</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bad</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>EnergizerLink</name>
    <message>
        <source>No parity</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Even parity</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Odd parity</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Space parity</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mark parity</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unknown parity</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 stop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1.5 stop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>2 stop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unknown stop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No Flow Control</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hardware Flow Control</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Software Flow Control</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unknown Flow Control</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connected to %1 : %2, %3, %4, %5, %6</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 bits</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not available serial ports</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connection failed. </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Terminal is not ready</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connecting to %1 : %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connected to %1 : %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HistoryDlg</name>
    <message>
        <source>Parameter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export as XML...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Restore to energizer...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Energizer %1 on %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no link</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export history entry</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>XML files (*.xml)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Writing configuration to energizer...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No entries for this energizer yet</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select one entry to compare it with the energizer now, or two to compare them with each other.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Entry #%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Energizer now</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reading the energizer&apos;s configuration...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 against %2: no parameter differs</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 against %2: parameters that differ: %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Entry #%1 not exported: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Entry #%1 exported to %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The energizer is busy with another exchange; try again in a moment</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reading the energizer&apos;s configuration before writing...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the energizer now</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Energizer timeline</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Configuration</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>On and off line</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Alarms</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Faults</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zone switches</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HistoryStore</name>
    <message>
        <source>cannot read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no history table</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot create the history table</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>history entry without a link</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>history entry for address %1, not 0..63</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not updated</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>history entry %1 holds %2 bytes, not a configuration block</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>history entry %1 is of unknown kind &apos;%2&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot list</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no history entry %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>history file</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>MainWindow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Energiser status</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Magnetic switch:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tamper:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sync Master/Slave:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sync loss:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Service:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Aux: Fuse:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Gate Alarm:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Panic Alarm:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mains Fail:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Battery Fuse:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Battery Flat:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Battery voltage:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Supply voltage:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Energiser Communication Status</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fence 1 Control</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ON/OFF</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>LV/HV</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fence ON:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fence HV:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fence Status:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Output Voltage:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Return Voltage:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>HP Cap Voltage:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fence Condition:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fence 2 Control</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fence 1 Service</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Vout Error:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>SCR Fail:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Flyback Fail:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Interference:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fence 2 Service</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fence Inputs</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Gate:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zone 1 ON/OFF:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zone 2 ON/OFF:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Panic:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zone 1 HV/LV:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zone 2 HV/LV:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Energiser Outputs</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Strobe 1:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Strobe 2:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Siren:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CONFIG</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>SCOPE</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Comms</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Serial connection settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Orvik Configurator</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not connected</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No configuration has arrived from the energizer yet</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Configuration is not loaded from energizer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The energizer&apos;s installer PIN differs from the one set in Comms → Serial connection settings → Installer PIN</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Configuration</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>History...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No configuration history is kept: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Trend...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No timeline is kept: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>QApplication</name>
    <message>
        <source>Energizer Configurator</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ScopeDlg</name>
    <message>
        <source>Scopes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Energizer Communication Status</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zone 1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zone 2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CLOSE</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ScopeUnit</name>
    <message>
        <source>Output Voltage:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Return Voltage:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>HV Check Level:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>HV Alarm Level:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>LV Alarm Level:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Good/Check/Bad:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zone state:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stored Energy:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Capacity Used:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Battery Voltage:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fence 1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fence 1 Actual</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fence 2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fence 2 Actual</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>N/A</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Voltages</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SettingsDlg</name>
    <message>
        <source>Settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select Serial Port</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scan ports</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Description:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Manufacturer:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Serial number:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Location:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Vendor ID:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Product ID:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select Parameters</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>BaudRate:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Data bits:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Parity:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop bits:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Flow control:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Energizer address</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Installer PIN</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Serial port</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Network</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Network mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>USR module set as:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>UDP server</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>UDP client</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>TCP server</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Own IP address:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IP address:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Port:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Apply</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>N/A</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>None</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Even</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Odd</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mark</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Space</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1.5</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>RTS/CTS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>XON/XOFF</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Description: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Manufacturer: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Serial number: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Location: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Vendor Identifier: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Product Identifier: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Timeline kept on this PC</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Events (days)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Minute readings (days)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SqliteFile</name>
    <message>
        <source>cannot create folder %1: %2 is not a folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot create folder %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>unknown error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 %2: %3: %4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no %1 given</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 %2 is a symbolic link (to %3); give the file itself</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 %2 is a folder, not a file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 %2 is not a regular file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot create %1 %2: %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 not used: Qt&apos;s SQLite driver is missing (Debian: libqt5sql5-sqlite)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot open</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 %2 has schema version %3, newer than the %4 this program knows; a newer version of it wrote the file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 %2 has schema version %3, which no version of this program writes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot switch to WAL mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 %2 stays in journal mode %3 instead of WAL</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TimelineModel</name>
    <message>
        <source>read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>backup</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>written</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>restored</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>sent</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>on line</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>off line</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>alarm raised: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>alarm cleared: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>fault raised: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>fault cleared: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>zone %1 on</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>zone %1 off</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>zone %1 high voltage</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>zone %1 low voltage</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No history is kept: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>this window has no history file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The history could not be read: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The timeline could not be read: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No timeline is kept: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Id</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kind</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>User</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Changed</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TimelineStore</name>
    <message>
        <source>timeline file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no timeline tables</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot create the timeline tables</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not written</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot list</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not pruned</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TrendDlg</name>
    <message>
        <source>Trend</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Last hour</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Last day</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Last week</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Chosen range</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>from</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>until</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export CSV...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zone 1 output</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zone 1 return</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zone 2 output</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zone 2 return</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Battery</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Energizer %1 on %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no link</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zone voltage (V)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Battery (V)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export trend</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The range ends before it starts</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No timeline is kept: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>this window has no timeline file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No readings in this range</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Readings of %2 minutes each: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Minute readings: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The timeline could not be read: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>zone %1 high voltage alarm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>zone %1 low voltage alarm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The trend was not exported: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 readings exported to %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>WritePreviewDlg</name>
    <message>
        <source>Write to energizer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Parameter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>On the energizer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>New value</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No parameter changes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Write</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The energizer already holds this configuration.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>These parameters will change on the energizer.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Its configuration before the write is kept as backup #%1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Its configuration before the write could not be kept in the history.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>YourScaleDraw</name>
    <message>
        <source>%1 s</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
