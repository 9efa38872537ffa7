<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>PopupMenus</name>
    <message>
        <source>Save as &amp;Fmt</source>
        <translation>Save as &amp;Fmt</translation>
    </message>
    <message>
        <source>Save as &amp;Raw</source>
        <translation>Save as &amp;Raw</translation>
    </message>
    <message>
        <source>Save as &amp;Hex</source>
        <translation>Save as &amp;Hex</translation>
    </message>
    <message>
        <source>Save as &amp;Txt</source>
        <translation>Save as &amp;Txt</translation>
    </message>
    <message>
        <source>Save as Fmt (&amp;B)inary</source>
        <translation>Save as Fmt (&amp;B)inary</translation>
    </message>
    <message>
        <source>Save as &amp;All</source>
        <translation>Save as &amp;All</translation>
    </message>
    <message>
        <source>save to &amp;Zip file</source>
        <translation>save to &amp;Zip file</translation>
    </message>
    <message>
        <source>&amp;Clear all data</source>
        <translation>&amp;Clear all data</translation>
    </message>
    <message>
        <source>&amp;Load</source>
        <translation>&amp;Load</translation>
    </message>
    <message>
        <source>&amp;ReLoad</source>
        <translation>&amp;ReLoad</translation>
    </message>
    <message>
        <source>&amp;Clear</source>
        <translation>&amp;Clear</translation>
    </message>
    <message>
        <source>Save &amp;As</source>
        <translation>Save &amp;As</translation>
    </message>
    <message>
        <source>Insert Data(up)</source>
        <translation>Insert Data(up)</translation>
    </message>
    <message>
        <source>Insert Data((below)</source>
        <translation>Insert Data((below)</translation>
    </message>
    <message>
        <source>Delete Data</source>
        <translation>Delete Data</translation>
    </message>
    <message>
        <source>Select UI</source>
        <translation>Select UI</translation>
    </message>
    <message>
        <source>System</source>
        <translation>System</translation>
    </message>
    <message>
        <source>Chinese</source>
        <translation>Chinese</translation>
    </message>
    <message>
        <source>English</source>
        <translation>English</translation>
    </message>
    <message>
        <source>Send &amp;message</source>
        <translation>Send &amp;message</translation>
    </message>
</context>
<context>
    <name>qelvor::CAboutDialog</name>
    <message>
        <source>BuildDate:</source>
        <translation>BuildDate:</translation>
    </message>
    <message>
        <source>Qelvor(RS232+TCP/UDP) ver 2.9</source>
        <translation>Qelvor(RS232+TCP/UDP) ver 2.9</translation>
    </message>
    <message>
        <source>program path</source>
        <translation>program path</translation>
    </message>
    <message>
        <source>ASCII</source>
        <translation>ASCII</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Exit</translation>
    </message>
</context>
<context>
    <name>qelvor::CComSetDlg</name>
    <message>
        <source>System Configure</source>
        <translation>System Configure</translation>
    </message>
    <message>
        <source>Communcation Setup</source>
        <translation>Communcation Setup</translation>
    </message>
    <message>
        <source>TCP-Server</source>
        <translation>TCP-Server</translation>
    </message>
    <message>
        <source>TCP-Client</source>
        <translation>TCP-Client</translation>
    </message>
    <message>
        <source>UDP</source>
        <translation>UDP</translation>
    </message>
    <message>
        <source>SerialPort</source>
        <translation>SerialPort</translation>
    </message>
    <message>
        <source>Virtual serial port</source>
        <translation>Virtual serial port</translation>
    </message>
    <message>
        <source>Link name</source>
        <translation>Link name</translation>
    </message>
    <message>
        <source>COM Port</source>
        <translation>COM Port</translation>
    </message>
    <message>
        <source>BaudRate</source>
        <translation>BaudRate</translation>
    </message>
    <message>
        <source>ByteSize</source>
        <translation>ByteSize</translation>
    </message>
    <message>
        <source>Parity</source>
        <translation>Parity</translation>
    </message>
    <message>
        <source>None</source>
        <comment>parity</comment>
        <translation>None</translation>
    </message>
    <message>
        <source>Odd</source>
        <translation>Odd</translation>
    </message>
    <message>
        <source>Even</source>
        <translation>Even</translation>
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
        <source>StopBits</source>
        <translation>StopBits</translation>
    </message>
    <message>
        <source>FlowCtrl</source>
        <translation>FlowCtrl</translation>
    </message>
    <message>
        <source>None</source>
        <comment>flow control</comment>
        <translation>None</translation>
    </message>
    <message>
        <source>Xon / Xoff</source>
        <translation>Xon / Xoff</translation>
    </message>
    <message>
        <source>Hardware</source>
        <translation>Hardware</translation>
    </message>
    <message>
        <source>IP Address</source>
        <translation>IP Address</translation>
    </message>
    <message>
        <source>IP Port:</source>
        <translation>IP Port:</translation>
    </message>
    <message>
        <source>RemotePort</source>
        <translation>RemotePort</translation>
    </message>
    <message>
        <source>LocalPort</source>
        <translation>LocalPort</translation>
    </message>
    <message>
        <source>Remote IP</source>
        <translation>Remote IP</translation>
    </message>
    <message>
        <source>Additional data</source>
        <translation>Additional data</translation>
    </message>
    <message>
        <source>Send data as Hex</source>
        <translation>Send data as Hex</translation>
    </message>
    <message>
        <source>Prefix</source>
        <translation>Prefix</translation>
    </message>
    <message>
        <source>Suffix</source>
        <translation>Suffix</translation>
    </message>
    <message>
        <source>CheckSum</source>
        <translation>CheckSum</translation>
    </message>
    <message>
        <source>&lt;CheckSum&gt; in the data is replaced by the checksum</source>
        <translation>&lt;CheckSum&gt; in the data is replaced by the checksum</translation>
    </message>
    <message>
        <source>Split received data &amp;&amp; Response</source>
        <translation>Split received data &amp;&amp; Response</translation>
    </message>
    <message>
        <source>Split </source>
        <translation>Split </translation>
    </message>
    <message>
        <source>Response</source>
        <translation>Response</translation>
    </message>
    <message>
        <source>0 Raw file</source>
        <translation>0 Raw file</translation>
    </message>
    <message>
        <source>1 Fmt file</source>
        <translation>1 Fmt file</translation>
    </message>
    <message>
        <source>2 Hex file</source>
        <translation>2 Hex file</translation>
    </message>
    <message>
        <source>0 Raw Style</source>
        <translation>0 Raw Style</translation>
    </message>
    <message>
        <source>1 Fmt Style</source>
        <translation>1 Fmt Style</translation>
    </message>
    <message>
        <source>2 Hex Style</source>
        <translation>2 Hex Style</translation>
    </message>
    <message>
        <source>0.Not convert</source>
        <translation>0.Not convert</translation>
    </message>
    <message>
        <source>1.CP_ACP to UTF-8</source>
        <translation>1.CP_ACP to UTF-8</translation>
    </message>
    <message>
        <source>2.CP_ACP to UNICODE</source>
        <translation>2.CP_ACP to UNICODE</translation>
    </message>
    <message>
        <source>Sendfile Fmt</source>
        <translation>Sendfile Fmt</translation>
    </message>
    <message>
        <source>View Style</source>
        <translation>View Style</translation>
    </message>
    <message>
        <source>Encode send data</source>
        <translation>Encode send data</translation>
    </message>
    <message>
        <source>Stress Test</source>
        <translation>Stress Test</translation>
    </message>
    <message>
        <source>save eventtime</source>
        <translation>save eventtime</translation>
    </message>
    <message>
        <source>auto restart</source>
        <translation>auto restart</translation>
    </message>
    <message>
        <source>save data to desktop</source>
        <translation>save data to desktop</translation>
    </message>
    <message>
        <source>Send first data after load file</source>
        <translation>Send first data after load file</translation>
    </message>
    <message>
        <source>Show port type</source>
        <translation>Show port type</translation>
    </message>
    <message>
        <source>response file</source>
        <translation>response file</translation>
    </message>
    <message>
        <source>delete BOM in file</source>
        <translation>delete BOM in file</translation>
    </message>
    <message>
        <source>timeout for split(ms)</source>
        <translation>timeout for split(ms)</translation>
    </message>
    <message>
        <source>auto-send timer</source>
        <translation>auto-send timer</translation>
    </message>
    <message>
        <source>*0.01s</source>
        <translation>*0.01s</translation>
    </message>
    <message>
        <source>char replace</source>
        <translation>char replace</translation>
    </message>
    <message>
        <source>=&gt;</source>
        <translation>=&gt;</translation>
    </message>
    <message>
        <source>auto-savelog(hr)</source>
        <translation>auto-savelog(hr)</translation>
    </message>
    <message>
        <source>Series</source>
        <translation>Series</translation>
    </message>
    <message>
        <source>Save Series</source>
        <translation>Save Series</translation>
    </message>
    <message>
        <source>Del Series</source>
        <translation>Del Series</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>Cancle</source>
        <translation>Cancle</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>&quot;%1&quot; takes a whole number, and &quot;%2&quot; is none.
Nothing was saved.</source>
        <translation>&quot;%1&quot; takes a whole number, and &quot;%2&quot; is none.
Nothing was saved.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; takes a whole number from %3 to %4, and &quot;%2&quot; is not one.
Nothing was saved.</source>
        <translation>&quot;%1&quot; takes a whole number from %3 to %4, and &quot;%2&quot; is not one.
Nothing was saved.</translation>
    </message>
    <message>
        <source>DTR on at open</source>
        <translation>DTR on at open</translation>
    </message>
    <message>
        <source>RTS on at open</source>
        <translation>RTS on at open</translation>
    </message>
    <message>
        <source>Reconnect when the link is lost (every 2 s)</source>
        <translation>Reconnect when the link is lost (every 2 s)</translation>
    </message>
    <message>
        <source>Close the port to change it</source>
        <translation>Close the port to change it</translation>
    </message>
    <message>
        <source>Close port</source>
        <translation>Close port</translation>
    </message>
    <message>
        <source>Device path</source>
        <translation>Device path</translation>
    </message>
    <message>
        <source>Tap (A ↔ B)</source>
        <translation>Tap (A ↔ B)</translation>
    </message>
    <message>
        <source>A</source>
        <comment>tap side</comment>
        <translation>A</translation>
    </message>
    <message>
        <source>B</source>
        <comment>tap side</comment>
        <translation>B</translation>
    </message>
    <message>
        <source>/dev/ttyUSB0[:baud[:8N1]]</source>
        <translation>/dev/ttyUSB0[:baud[:8N1]]</translation>
    </message>
    <message>
        <source>[address:]port</source>
        <translation>[address:]port</translation>
    </message>
    <message>
        <source>host:port</source>
        <translation>host:port</translation>
    </message>
    <message>
        <source>local port[:host:remote port]</source>
        <translation>local port[:host:remote port]</translation>
    </message>
    <message>
        <source>link (empty: the default one)</source>
        <translation>link (empty: the default one)</translation>
    </message>
    <message>
        <source>&quot;%1&quot; names no port to open: %2
Nothing was saved.</source>
        <translation>&quot;%1&quot; names no port to open: %2
Nothing was saved.</translation>
    </message>
</context>
<context>
    <name>qelvor::CProtocolGroup</name>
    <message>
        <source>Protocol</source>
        <translation>Protocol</translation>
    </message>
    <message>
        <source>Answer peers by</source>
        <translation>Answer peers by</translation>
    </message>
    <message>
        <source>0 configurable</source>
        <translation>0 configurable</translation>
    </message>
    <message>
        <source>1 ASTM E1381</source>
        <translation>1 ASTM E1381</translation>
    </message>
    <message>
        <source>2 HL7 (MLLP)</source>
        <translation>2 HL7 (MLLP)</translation>
    </message>
    <message>
        <source>Peers are answered by the Split and Response settings.</source>
        <translation>Peers are answered by the Split and Response settings.</translation>
    </message>
    <message>
        <source>ASTM role</source>
        <translation>ASTM role</translation>
    </message>
    <message>
        <source>0 instrument</source>
        <translation>0 instrument</translation>
    </message>
    <message>
        <source>1 host</source>
        <translation>1 host</translation>
    </message>
    <message>
        <source>reply time-out (ms)</source>
        <translation>reply time-out (ms)</translation>
    </message>
    <message>
        <source>idle time-out (ms)</source>
        <translation>idle time-out (ms)</translation>
    </message>
    <message>
        <source>ENQ retry (ms)</source>
        <translation>ENQ retry (ms)</translation>
    </message>
    <message>
        <source>HL7 role</source>
        <translation>HL7 role</translation>
    </message>
    <message>
        <source>0 receiver</source>
        <translation>0 receiver</translation>
    </message>
    <message>
        <source>1 sender</source>
        <translation>1 sender</translation>
    </message>
    <message>
        <source>acknowledgement</source>
        <translation>acknowledgement</translation>
    </message>
    <message>
        <source>0 AA always</source>
        <translation>0 AA always</translation>
    </message>
    <message>
        <source>1 AE</source>
        <translation>1 AE</translation>
    </message>
    <message>
        <source>2 AR</source>
        <translation>2 AR</translation>
    </message>
    <message>
        <source>3 no answer</source>
        <translation>3 no answer</translation>
    </message>
    <message>
        <source>ACK time-out (ms)</source>
        <translation>ACK time-out (ms)</translation>
    </message>
    <message>
        <source>resends</source>
        <translation>resends</translation>
    </message>
    <message>
        <source>largest message (bytes)</source>
        <translation>largest message (bytes)</translation>
    </message>
    <message>
        <source>control ids</source>
        <translation>control ids</translation>
    </message>
    <message>
        <source>0 running number</source>
        <translation>0 running number</translation>
    </message>
    <message>
        <source>1 from the time</source>
        <translation>1 from the time</translation>
    </message>
    <message>
        <source>fill an empty MSH-7 with the time</source>
        <translation>fill an empty MSH-7 with the time</translation>
    </message>
    <message>
        <source>orders table (CSV)</source>
        <translation>orders table (CSV)</translation>
    </message>
    <message>
        <source>none: queries are not answered</source>
        <translation>none: queries are not answered</translation>
    </message>
    <message>
        <source>Browse...</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>Orders table</source>
        <translation>Orders table</translation>
    </message>
    <message>
        <source>CSV (*.csv)</source>
        <translation>CSV (*.csv)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>All files (*)</translation>
    </message>
</context>
<context>
    <name>qelvor::CCsvExportRunner</name>
    <message>
        <source>Export CSV</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>CSV (*.csv)</source>
        <translation>CSV (*.csv)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>All files (*)</translation>
    </message>
    <message>
        <source>Exporting %1 rows...</source>
        <translation>Exporting %1 rows...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>The CSV export failed: %1</source>
        <translation>The CSV export failed: %1</translation>
    </message>
</context>
<context>
    <name>qelvor::CDataDetailDlg</name>
    <message>
        <source>Fmt data</source>
        <translation>Fmt data</translation>
    </message>
    <message>
        <source>Raw data</source>
        <translation>Raw data</translation>
    </message>
    <message>
        <source>Hex data</source>
        <translation>Hex data</translation>
    </message>
    <message>
        <source>UTF-8 dec</source>
        <translation>UTF-8 dec</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>Save data</source>
        <translation>Save data</translation>
    </message>
    <message>
        <source>Record fields</source>
        <translation>Record fields</translation>
    </message>
    <message>
        <source>field %1: %2</source>
        <translation>field %1: %2</translation>
    </message>
    <message>
        <source>repeat %1: %2</source>
        <translation>repeat %1: %2</translation>
    </message>
    <message>
        <source>component %1: %2</source>
        <translation>component %1: %2</translation>
    </message>
    <message>
        <source>Unknown record</source>
        <translation>Unknown record</translation>
    </message>
    <message>
        <source>+ms</source>
        <translation>+ms</translation>
    </message>
    <message>
        <source>Message segments</source>
        <translation>Message segments</translation>
    </message>
    <message>
        <source>message %1, control id %2</source>
        <translation>message %1, control id %2</translation>
    </message>
    <message>
        <source>subcomponent %1: %2</source>
        <translation>subcomponent %1: %2</translation>
    </message>
</context>
<context>
    <name>qelvor::CFindBar</name>
    <message>
        <source>Find pattern</source>
        <translation>Find pattern</translation>
    </message>
    <message>
        <source>Matches</source>
        <translation>Matches</translation>
    </message>
    <message>
        <source>Close the find bar</source>
        <translation>Close the find bar</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Stop the filter: show every row</source>
        <translation>Stop the filter: show every row</translation>
    </message>
    <message>
        <source>Find</source>
        <translation>Find</translation>
    </message>
    <message>
        <source>text, regular expression or hex bytes (02 ?? 03)</source>
        <translation>text, regular expression or hex bytes (02 ?? 03)</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>Regex</source>
        <translation>Regex</translation>
    </message>
    <message>
        <source>Hex</source>
        <translation>Hex</translation>
    </message>
    <message>
        <source>Previous</source>
        <translation>Previous</translation>
    </message>
    <message>
        <source>Previous match (Shift+F3)</source>
        <translation>Previous match (Shift+F3)</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>Next match (F3, Enter)</source>
        <translation>Next match (F3, Enter)</translation>
    </message>
    <message>
        <source>Close the find bar (Esc)</source>
        <translation>Close the find bar (Esc)</translation>
    </message>
    <message>
        <source>Show</source>
        <translation>Show</translation>
    </message>
    <message>
        <source>Sent rows</source>
        <translation>Sent rows</translation>
    </message>
    <message>
        <source>Received rows</source>
        <translation>Received rows</translation>
    </message>
    <message>
        <source>Information rows</source>
        <translation>Information rows</translation>
    </message>
    <message>
        <source>Only matching rows</source>
        <translation>Only matching rows</translation>
    </message>
    <message>
        <source>Only the rows that the find pattern matches</source>
        <translation>Only the rows that the find pattern matches</translation>
    </message>
    <message>
        <source>Find...</source>
        <translation>Find...</translation>
    </message>
    <message>
        <source>Find next</source>
        <translation>Find next</translation>
    </message>
    <message>
        <source>Find previous</source>
        <translation>Find previous</translation>
    </message>
    <message>
        <source>%1 so far</source>
        <translation>%1 so far</translation>
    </message>
    <message>
        <source>no match</source>
        <translation>no match</translation>
    </message>
    <message>
        <source>%1 matches</source>
        <translation>%1 matches</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 of %2</translation>
    </message>
</context>
<context>
    <name>qelvor::CHighlightRulesDlg</name>
    <message>
        <source>Text</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>Regex</source>
        <translation>Regex</translation>
    </message>
    <message>
        <source>Hex</source>
        <translation>Hex</translation>
    </message>
    <message>
        <source>Highlight rules</source>
        <translation>Highlight rules</translation>
    </message>
    <message>
        <source>Mode</source>
        <translation>Mode</translation>
    </message>
    <message>
        <source>Colour</source>
        <translation>Colour</translation>
    </message>
    <message>
        <source>Pattern</source>
        <translation>Pattern</translation>
    </message>
    <message>
        <source>Colour of rule %1</source>
        <translation>Colour of rule %1</translation>
    </message>
    <message>
        <source>Rule %1: %2</source>
        <translation>Rule %1: %2</translation>
    </message>
</context>
<context>
    <name>qelvor::CTriggerRulesDlg</name>
    <message>
        <source>Text</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>Regex</source>
        <translation>Regex</translation>
    </message>
    <message>
        <source>Hex</source>
        <translation>Hex</translation>
    </message>
    <message>
        <source>Timer</source>
        <translation>Timer</translation>
    </message>
    <message>
        <source>Wrong checksum on the next frames</source>
        <translation>Wrong checksum on the next frames</translation>
    </message>
    <message>
        <source>Good frames answered with NAK</source>
        <translation>Good frames answered with NAK</translation>
    </message>
    <message>
        <source>Good frames left without ACK</source>
        <translation>Good frames left without ACK</translation>
    </message>
    <message>
        <source>ENQs answered with ENQ</source>
        <translation>ENQs answered with ENQ</translation>
    </message>
    <message>
        <source>Drop the line after frames</source>
        <translation>Drop the line after frames</translation>
    </message>
    <message>
        <source>Delay every answer (ms)</source>
        <translation>Delay every answer (ms)</translation>
    </message>
    <message>
        <source>Trigger rules</source>
        <translation>Trigger rules</translation>
    </message>
    <message>
        <source>The first enabled rule whose pattern a frame matches sends its answer (notation text: $1..$9 insert the captured groups, {DATE} {TIME} {SEQ} the date, the time and a sequence number). A timer sends its answer every period (ms) while the port is open.</source>
        <translation>The first enabled rule whose pattern a frame matches sends its answer (notation text: $1..$9 insert the captured groups, {DATE} {TIME} {SEQ} the date, the time and a sequence number). A timer sends its answer every period (ms) while the port is open.</translation>
    </message>
    <message>
        <source>On</source>
        <translation>On</translation>
    </message>
    <message>
        <source>Kind</source>
        <translation>Kind</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>Pattern or period</source>
        <translation>Pattern or period</translation>
    </message>
    <message>
        <source>Answer</source>
        <translation>Answer</translation>
    </message>
    <message>
        <source>Delay (ms)</source>
        <translation>Delay (ms)</translation>
    </message>
    <message>
        <source>Limit</source>
        <translation>Limit</translation>
    </message>
    <message>
        <source>&amp;Add</source>
        <translation>&amp;Add</translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <translation>&amp;Remove</translation>
    </message>
    <message>
        <source>Move &amp;up</source>
        <translation>Move &amp;up</translation>
    </message>
    <message>
        <source>Move &amp;down</source>
        <translation>Move &amp;down</translation>
    </message>
    <message>
        <source>Script hooks (OnFrame, OnTimer)</source>
        <translation>Script hooks (OnFrame, OnTimer)</translation>
    </message>
    <message>
        <source>Faults (ASTM)</source>
        <translation>Faults (ASTM)</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>Rule %1: %2</source>
        <translation>Rule %1: %2</translation>
    </message>
    <message>
        <source>Always</source>
        <translation>Always</translation>
    </message>
    <message>
        <source>%1 times</source>
        <translation>%1 times</translation>
    </message>
    <message>
        <source>Once</source>
        <translation>Once</translation>
    </message>
    <message>
        <source>How often the rule answers before it turns itself off</source>
        <translation>How often the rule answers before it turns itself off</translation>
    </message>
</context>
<context>
    <name>qelvor::CMainWindow</name>
    <message>
        <source>Buffer</source>
        <translation>Buffer</translation>
    </message>
    <message>
        <source>SendData</source>
        <translation>SendData</translation>
    </message>
    <message>
        <source>CheckSum</source>
        <translation>CheckSum</translation>
    </message>
    <message>
        <source>SendCtrl</source>
        <translation>SendCtrl</translation>
    </message>
    <message>
        <source>LoadFile</source>
        <translation>LoadFile</translation>
    </message>
    <message>
        <source>SetPort</source>
        <translation>SetPort</translation>
    </message>
    <message>
        <source>OpenPort</source>
        <translation>OpenPort</translation>
    </message>
    <message>
        <source>ClosePort</source>
        <translation>ClosePort</translation>
    </message>
    <message>
        <source>SendFile</source>
        <translation>SendFile</translation>
    </message>
    <message>
        <source>ReSend</source>
        <translation>ReSend</translation>
    </message>
    <message>
        <source>SaveData</source>
        <translation>SaveData</translation>
    </message>
    <message>
        <source>scroll</source>
        <translation>scroll</translation>
    </message>
    <message>
        <source>send now</source>
        <translation>send now</translation>
    </message>
    <message>
        <source>AutoSend</source>
        <translation>AutoSend</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Save Log Data</source>
        <translation>Save Log Data</translation>
    </message>
    <message>
        <source>Load data file</source>
        <translation>Load data file</translation>
    </message>
    <message>
        <source>Send file</source>
        <translation>Send file</translation>
    </message>
    <message>
        <source>Save data list</source>
        <translation>Save data list</translation>
    </message>
    <message>
        <source>Export CSV...</source>
        <translation>Export CSV...</translation>
    </message>
    <message>
        <source>Highlight rules...</source>
        <translation>Highlight rules...</translation>
    </message>
    <message>
        <source>Trigger rules...</source>
        <translation>Trigger rules...</translation>
    </message>
</context>
<context>
    <name>qelvor::CModemLinesBand</name>
    <message>
        <source>Break</source>
        <translation>Break</translation>
    </message>
    <message>
        <source>Holds the line in the break state for 250 ms</source>
        <translation>Holds the line in the break state for 250 ms</translation>
    </message>
    <message>
        <source>Modem lines not available on this device</source>
        <translation>Modem lines not available on this device</translation>
    </message>
    <message>
        <source>%1 on</source>
        <translation>%1 on</translation>
    </message>
    <message>
        <source>%1 off</source>
        <translation>%1 off</translation>
    </message>
</context>
<context>
    <name>qelvor::CQuickSendDlg</name>
    <message>
        <source>Quick-send buttons</source>
        <translation>Quick-send buttons</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Text to send</source>
        <translation>Text to send</translation>
    </message>
    <message>
        <source>Button %1 cannot be stored: a name may not hold a TAB, and neither a name nor a text a line break.
Nothing was changed.</source>
        <translation>Button %1 cannot be stored: a name may not hold a TAB, and neither a name nor a text a line break.
Nothing was changed.</translation>
    </message>
</context>
<context>
    <name>qelvor::CQuickSendRow</name>
    <message>
        <source>Edit...</source>
        <translation>Edit...</translation>
    </message>
    <message>
        <source>Quick-send buttons</source>
        <translation>Quick-send buttons</translation>
    </message>
</context>
<context>
    <name>qelvor::CScrollLock</name>
    <message>
        <source>newest</source>
        <translation>newest</translation>
    </message>
    <message>
        <source>Go to the newest record and follow again (End)</source>
        <translation>Go to the newest record and follow again (End)</translation>
    </message>
</context>
<context>
    <name>qelvor::CSerialPortListDlg</name>
    <message>
        <source>Serial Port in the workstation</source>
        <translation>Serial Port in the workstation</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>No access</source>
        <translation>No access</translation>
    </message>
</context>
<context>
    <name>qelvor::CSerialDeviceList</name>
    <message>
        <source>no access: group %1</source>
        <translation>no access: group %1</translation>
    </message>
    <message>
        <source>busy: locked by process %1</source>
        <translation>busy: locked by process %1</translation>
    </message>
    <message>
        <source>busy: held by another program</source>
        <translation>busy: held by another program</translation>
    </message>
</context>
<context>
    <name>qelvor::CStatisticsPanel</name>
    <message>
        <source>Reset</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>Sent</source>
        <translation>Sent</translation>
    </message>
    <message>
        <source>Received</source>
        <translation>Received</translation>
    </message>
    <message>
        <source>Bytes</source>
        <translation>Bytes</translation>
    </message>
    <message>
        <source>Records</source>
        <translation>Records</translation>
    </message>
    <message>
        <source>Bytes/s</source>
        <translation>Bytes/s</translation>
    </message>
    <message>
        <source>Bad check frames</source>
        <translation>Bad check frames</translation>
    </message>
    <message>
        <source>NAKs received</source>
        <translation>NAKs received</translation>
    </message>
    <message>
        <source>ENQs received</source>
        <translation>ENQs received</translation>
    </message>
    <message>
        <source>Statistics</source>
        <translation>Statistics</translation>
    </message>
</context>
<context>
    <name>qelvor::CStatusBar</name>
    <message>
        <source>Window menu</source>
        <translation>Window menu</translation>
    </message>
</context>
<context>
    <name>qelvor::CTheme</name>
    <message>
        <source>System</source>
        <translation>System</translation>
    </message>
    <message>
        <source>Light</source>
        <translation>Light</translation>
    </message>
    <message>
        <source>Dark</source>
        <translation>Dark</translation>
    </message>
    <message>
        <source>Theme</source>
        <translation>Theme</translation>
    </message>
</context>
<context>
    <name>qelvor::CTrafficListOptions</name>
    <message>
        <source>Echo-free view (hide sent rows)</source>
        <translation>Echo-free view (hide sent rows)</translation>
    </message>
    <message>
        <source>Show frame check column (chk)</source>
        <translation>Show frame check column (chk)</translation>
    </message>
    <message>
        <source>Show time gap column (+ms)</source>
        <translation>Show time gap column (+ms)</translation>
    </message>
    <message>
        <source>Gap since the previous record of the same type</source>
        <translation>Gap since the previous record of the same type</translation>
    </message>
</context>
<context>
    <name>qelvor::CTrafficTableModel</name>
    <message>
        <source>chk</source>
        <translation>chk</translation>
    </message>
    <message>
        <source>+ms</source>
        <translation>+ms</translation>
    </message>
</context>
<context>
    <name>qelvor::CSessionCommands</name>
    <message>
        <source>Open session...</source>
        <translation>Open session...</translation>
    </message>
    <message>
        <source>Keep this session</source>
        <translation>Keep this session</translation>
    </message>
    <message>
        <source>A capture of %1 was not closed: open it / delete it</source>
        <translation>A capture of %1 was not closed: open it / delete it</translation>
    </message>
    <message>
        <source>Open session</source>
        <translation>Open session</translation>
    </message>
    <message>
        <source>Capture files (*.qcap);;All files (*)</source>
        <translation>Capture files (*.qcap);;All files (*)</translation>
    </message>
    <message>
        <source>Open it</source>
        <translation>Open it</translation>
    </message>
    <message>
        <source>Delete it</source>
        <translation>Delete it</translation>
    </message>
    <message>
        <source>Later</source>
        <translation>Later</translation>
    </message>
</context>
<context>
    <name>qelvor::CMenuBar</name>
    <message>
        <source>&amp;File</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>&amp;Port</source>
        <translation>&amp;Port</translation>
    </message>
    <message>
        <source>&amp;Send</source>
        <translation>&amp;Send</translation>
    </message>
    <message>
        <source>&amp;Tools</source>
        <translation>&amp;Tools</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>Menu bar</source>
        <translation>Menu bar</translation>
    </message>
    <message>
        <source>Menu &amp;bar</source>
        <translation>Menu &amp;bar</translation>
    </message>
    <message>
        <source>&amp;Data list</source>
        <translation>&amp;Data list</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>&amp;Scroll to the newest record</source>
        <translation>&amp;Scroll to the newest record</translation>
    </message>
    <message>
        <source>&amp;Configure...</source>
        <translation>&amp;Configure...</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>&amp;Open</translation>
    </message>
    <message>
        <source>C&amp;lose</source>
        <translation>C&amp;lose</translation>
    </message>
    <message>
        <source>&amp;Send the text</source>
        <translation>&amp;Send the text</translation>
    </message>
    <message>
        <source>Add the check s&amp;um</source>
        <translation>Add the check s&amp;um</translation>
    </message>
    <message>
        <source>Control &amp;character</source>
        <translation>Control &amp;character</translation>
    </message>
    <message>
        <source>&amp;Re-send</source>
        <translation>&amp;Re-send</translation>
    </message>
    <message>
        <source>Send a &amp;file...</source>
        <translation>Send a &amp;file...</translation>
    </message>
    <message>
        <source>&amp;Auto send</source>
        <translation>&amp;Auto send</translation>
    </message>
    <message>
        <source>Send on &amp;double-click</source>
        <translation>Send on &amp;double-click</translation>
    </message>
    <message>
        <source>Edit &amp;quick sends...</source>
        <translation>Edit &amp;quick sends...</translation>
    </message>
</context>
<context>
    <name>qelvor::CWindowKeyboard</name>
    <message>
        <source>Line end after the text</source>
        <translation>Line end after the text</translation>
    </message>
    <message>
        <source>Buffer: received bytes not yet split</source>
        <translation>Buffer: received bytes not yet split</translation>
    </message>
    <message>
        <source>Show or hide the data list</source>
        <translation>Show or hide the data list</translation>
    </message>
    <message>
        <source>Traffic records</source>
        <translation>Traffic records</translation>
    </message>
    <message>
        <source>Data list</source>
        <translation>Data list</translation>
    </message>
    <message>
        <source>Text to send</source>
        <translation>Text to send</translation>
    </message>
    <message>
        <source>Send the text</source>
        <translation>Send the text</translation>
    </message>
    <message>
        <source>Add the check sum</source>
        <translation>Add the check sum</translation>
    </message>
    <message>
        <source>Send a control character</source>
        <translation>Send a control character</translation>
    </message>
    <message>
        <source>Load a data file</source>
        <translation>Load a data file</translation>
    </message>
    <message>
        <source>Configure the port</source>
        <translation>Configure the port</translation>
    </message>
    <message>
        <source>Open the port</source>
        <translation>Open the port</translation>
    </message>
    <message>
        <source>Close the port</source>
        <translation>Close the port</translation>
    </message>
    <message>
        <source>Send a file</source>
        <translation>Send a file</translation>
    </message>
    <message>
        <source>Send again</source>
        <translation>Send again</translation>
    </message>
    <message>
        <source>Save the records</source>
        <translation>Save the records</translation>
    </message>
    <message>
        <source>Scroll to the newest record</source>
        <translation>Scroll to the newest record</translation>
    </message>
    <message>
        <source>Send on double-click</source>
        <translation>Send on double-click</translation>
    </message>
    <message>
        <source>Auto send</source>
        <translation>Auto send</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Port state</source>
        <translation>Port state</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>Progress</translation>
    </message>
    <message>
        <source>Data processing</source>
        <translation>Data processing</translation>
    </message>
    <message>
        <source>Clock</source>
        <translation>Clock</translation>
    </message>
    <message>
        <source>Edit the quick sends</source>
        <translation>Edit the quick sends</translation>
    </message>
    <message>
        <source>Side the text is sent into</source>
        <translation>Side the text is sent into</translation>
    </message>
</context>
<context>
    <name>qelvor::CLineEndSelector</name>
    <message>
        <source>None</source>
        <translation>None</translation>
    </message>
    <message>
        <source>The line end sent after the typed text</source>
        <translation>The line end sent after the typed text</translation>
    </message>
    <message>
        <source>Line end</source>
        <translation>Line end</translation>
    </message>
</context>
<context>
    <name>qelvor::CTapSideSelector</name>
    <message>
        <source>The side of the tap the typed text is sent into</source>
        <translation>The side of the tap the typed text is sent into</translation>
    </message>
</context>
</TS>
