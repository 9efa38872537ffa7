<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>PopupMenus</name>
    <message>
        <source>Save as &amp;Fmt</source>
        <translation>保存为Fmt格式(&amp;F)</translation>
    </message>
    <message>
        <source>Save as &amp;Raw</source>
        <translation>保存为Raw格式(&amp;R)</translation>
    </message>
    <message>
        <source>Save as &amp;Hex</source>
        <translation>保存为Hex格式(&amp;H)</translation>
    </message>
    <message>
        <source>Save as &amp;Txt</source>
        <translation>保存为Txt格式(&amp;T)</translation>
    </message>
    <message>
        <source>Save as Fmt (&amp;B)inary</source>
        <translation>保存为二进制Fmt格式(&amp;B)</translation>
    </message>
    <message>
        <source>Save as &amp;All</source>
        <translation>全部格式保存(&amp;A)</translation>
    </message>
    <message>
        <source>save to &amp;Zip file</source>
        <translation>保存到Zip文件(&amp;Z)</translation>
    </message>
    <message>
        <source>&amp;Clear all data</source>
        <translation>清除全部数据(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Load</source>
        <translation>加载(&amp;L)</translation>
    </message>
    <message>
        <source>&amp;ReLoad</source>
        <translation>重新加载(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;Clear</source>
        <translation>清空(&amp;C)</translation>
    </message>
    <message>
        <source>Save &amp;As</source>
        <translation>另存为(&amp;A)</translation>
    </message>
    <message>
        <source>Insert Data(up)</source>
        <translation>插入数据(上方)</translation>
    </message>
    <message>
        <source>Insert Data((below)</source>
        <translation>插入数据(下方)</translation>
    </message>
    <message>
        <source>Delete Data</source>
        <translation>删除数据</translation>
    </message>
    <message>
        <source>Select UI</source>
        <translation>选择语言</translation>
    </message>
    <message>
        <source>System</source>
        <translation>跟随系统</translation>
    </message>
    <message>
        <source>Chinese</source>
        <translation>中文</translation>
    </message>
    <message>
        <source>English</source>
        <translation>英文</translation>
    </message>
    <message>
        <source>Send &amp;message</source>
        <translation>发送消息(&amp;M)</translation>
    </message>
</context>
<context>
    <name>qelvor::CAboutDialog</name>
    <message>
        <source>BuildDate:</source>
        <translation>编译日期:</translation>
    </message>
    <message>
        <source>Qelvor(RS232+TCP/UDP) ver 2.9</source>
        <translation>Qelvor(RS232+TCP/UDP) 版本 2.9</translation>
    </message>
    <message>
        <source>program path</source>
        <translation>程序路径</translation>
    </message>
    <message>
        <source>ASCII</source>
        <translation>ASCII码表</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>退出</translation>
    </message>
</context>
<context>
    <name>qelvor::CComSetDlg</name>
    <message>
        <source>System Configure</source>
        <translation>通信配置</translation>
    </message>
    <message>
        <source>Communcation Setup</source>
        <translation>端口设置</translation>
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
        <translation>串口</translation>
    </message>
    <message>
        <source>Virtual serial port</source>
        <translation>虚拟串口</translation>
    </message>
    <message>
        <source>Link name</source>
        <translation>链接名</translation>
    </message>
    <message>
        <source>COM Port</source>
        <translation>通讯口</translation>
    </message>
    <message>
        <source>BaudRate</source>
        <translation>波特率</translation>
    </message>
    <message>
        <source>ByteSize</source>
        <translation>数据位</translation>
    </message>
    <message>
        <source>Parity</source>
        <translation>校验位</translation>
    </message>
    <message>
        <source>None</source>
        <comment>parity</comment>
        <translation>无校验</translation>
    </message>
    <message>
        <source>Odd</source>
        <translation>奇校验</translation>
    </message>
    <message>
        <source>Even</source>
        <translation>偶校验</translation>
    </message>
    <message>
        <source>Mark</source>
        <translation>标记</translation>
    </message>
    <message>
        <source>Space</source>
        <translation>空格</translation>
    </message>
    <message>
        <source>StopBits</source>
        <translation>停止位</translation>
    </message>
    <message>
        <source>FlowCtrl</source>
        <translation>流控制</translation>
    </message>
    <message>
        <source>None</source>
        <comment>flow control</comment>
        <translation>无</translation>
    </message>
    <message>
        <source>Xon / Xoff</source>
        <translation>Xon / Xoff</translation>
    </message>
    <message>
        <source>Hardware</source>
        <translation>硬件</translation>
    </message>
    <message>
        <source>IP Address</source>
        <translation>IP地址</translation>
    </message>
    <message>
        <source>IP Port:</source>
        <translation>端口号</translation>
    </message>
    <message>
        <source>RemotePort</source>
        <translation>目标端口</translation>
    </message>
    <message>
        <source>LocalPort</source>
        <translation>本地端口</translation>
    </message>
    <message>
        <source>Remote IP</source>
        <translation>目标IP</translation>
    </message>
    <message>
        <source>Additional data</source>
        <translation>发送数据-添加信息</translation>
    </message>
    <message>
        <source>Send data as Hex</source>
        <translation>以HEX模式发送数据</translation>
    </message>
    <message>
        <source>Prefix</source>
        <translation>首</translation>
    </message>
    <message>
        <source>Suffix</source>
        <translation>尾</translation>
    </message>
    <message>
        <source>CheckSum</source>
        <translation>检查和</translation>
    </message>
    <message>
        <source>&lt;CheckSum&gt; in the data is replaced by the checksum</source>
        <translation>&lt;CheckSum&gt;可被替换为检查和</translation>
    </message>
    <message>
        <source>Split received data &amp;&amp; Response</source>
        <translation>接收数据-分割/响应</translation>
    </message>
    <message>
        <source>Split </source>
        <translation>接  收</translation>
    </message>
    <message>
        <source>Response</source>
        <translation>响应</translation>
    </message>
    <message>
        <source>0 Raw file</source>
        <translation>0原始数据(Raw)</translation>
    </message>
    <message>
        <source>1 Fmt file</source>
        <translation>1格式数据(Fmt)</translation>
    </message>
    <message>
        <source>2 Hex file</source>
        <translation>2十六进制(Hex)</translation>
    </message>
    <message>
        <source>0 Raw Style</source>
        <translation>0原始数据(Raw)</translation>
    </message>
    <message>
        <source>1 Fmt Style</source>
        <translation>1格式数据(Fmt)</translation>
    </message>
    <message>
        <source>2 Hex Style</source>
        <translation>2十六进制(Hex)</translation>
    </message>
    <message>
        <source>0.Not convert</source>
        <translation>0.不转换</translation>
    </message>
    <message>
        <source>1.CP_ACP to UTF-8</source>
        <translation>1.CP_ACP转UTF-8</translation>
    </message>
    <message>
        <source>2.CP_ACP to UNICODE</source>
        <translation>2.CP_ACP转UNICODE</translation>
    </message>
    <message>
        <source>Sendfile Fmt</source>
        <translation>发送文件类型</translation>
    </message>
    <message>
        <source>View Style</source>
        <translation>显示风格</translation>
    </message>
    <message>
        <source>Encode send data</source>
        <translation>发送数据编码转换</translation>
    </message>
    <message>
        <source>Stress Test</source>
        <translation>压力测试支持</translation>
    </message>
    <message>
        <source>save eventtime</source>
        <translation>保存日志时间</translation>
    </message>
    <message>
        <source>auto restart</source>
        <translation>自动重启</translation>
    </message>
    <message>
        <source>save data to desktop</source>
        <translation>保存数据到桌面</translation>
    </message>
    <message>
        <source>Send first data after load file</source>
        <translation>加载数据后自动发送第一行</translation>
    </message>
    <message>
        <source>Show port type</source>
        <translation>在标题栏上显示接口类型</translation>
    </message>
    <message>
        <source>response file</source>
        <translation>启用响应文件</translation>
    </message>
    <message>
        <source>delete BOM in file</source>
        <translation>发文件时删除BOM</translation>
    </message>
    <message>
        <source>timeout for split(ms)</source>
        <translation>延时拆分数据(ms)</translation>
    </message>
    <message>
        <source>auto-send timer</source>
        <translation>自动发送延时</translation>
    </message>
    <message>
        <source>*0.01s</source>
        <translation>*0.01s</translation>
    </message>
    <message>
        <source>char replace</source>
        <translation>字符替换</translation>
    </message>
    <message>
        <source>=&gt;</source>
        <translation>=&gt;</translation>
    </message>
    <message>
        <source>auto-savelog(hr)</source>
        <translation>自动保存日志(hr)</translation>
    </message>
    <message>
        <source>Series</source>
        <translation>配置模板</translation>
    </message>
    <message>
        <source>Save Series</source>
        <translation>保存模板</translation>
    </message>
    <message>
        <source>Del Series</source>
        <translation>删除模板</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>还原配置</translation>
    </message>
    <message>
        <source>Cancle</source>
        <translation>放弃退出</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存退出</translation>
    </message>
    <message>
        <source>&quot;%1&quot; takes a whole number, and &quot;%2&quot; is none.
Nothing was saved.</source>
        <translation>“%1”只接受整数,“%2”不是整数。
未保存任何内容。</translation>
    </message>
    <message>
        <source>&quot;%1&quot; takes a whole number from %3 to %4, and &quot;%2&quot; is not one.
Nothing was saved.</source>
        <translation>“%1”只接受 %3 到 %4 之间的整数,“%2”不在其中。
未保存任何内容。</translation>
    </message>
    <message>
        <source>DTR on at open</source>
        <translation>打开时 DTR 有效</translation>
    </message>
    <message>
        <source>RTS on at open</source>
        <translation>打开时 RTS 有效</translation>
    </message>
    <message>
        <source>Reconnect when the link is lost (every 2 s)</source>
        <translation>连接断开后自动重连(每 2 秒)</translation>
    </message>
    <message>
        <source>Close the port to change it</source>
        <translation>关闭端口后才能修改</translation>
    </message>
    <message>
        <source>Close port</source>
        <translation>关闭端口</translation>
    </message>
    <message>
        <source>Device path</source>
        <translation>设备路径</translation>
    </message>
    <message>
        <source>Tap (A ↔ B)</source>
        <translation>分接 (A ↔ B)</translation>
    </message>
    <message>
        <source>A</source>
        <comment>tap side</comment>
        <translation>A 端</translation>
    </message>
    <message>
        <source>B</source>
        <comment>tap side</comment>
        <translation>B 端</translation>
    </message>
    <message>
        <source>/dev/ttyUSB0[:baud[:8N1]]</source>
        <translation>/dev/ttyUSB0[:波特率[:8N1]]</translation>
    </message>
    <message>
        <source>[address:]port</source>
        <translation>[地址:]端口</translation>
    </message>
    <message>
        <source>host:port</source>
        <translation>主机:端口</translation>
    </message>
    <message>
        <source>local port[:host:remote port]</source>
        <translation>本地端口[:主机:远程端口]</translation>
    </message>
    <message>
        <source>link (empty: the default one)</source>
        <translation>链接名（留空：默认链接）</translation>
    </message>
    <message>
        <source>&quot;%1&quot; names no port to open: %2
Nothing was saved.</source>
        <translation>“%1”不是可打开的端口：%2
未保存任何内容。</translation>
    </message>
</context>
<context>
    <name>qelvor::CProtocolGroup</name>
    <message>
        <source>Protocol</source>
        <translation>协议</translation>
    </message>
    <message>
        <source>Answer peers by</source>
        <translation>应答方式</translation>
    </message>
    <message>
        <source>0 configurable</source>
        <translation>0 可配置</translation>
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
        <translation>按“接收数据-分割/响应”的设置应答对方。</translation>
    </message>
    <message>
        <source>ASTM role</source>
        <translation>ASTM 角色</translation>
    </message>
    <message>
        <source>0 instrument</source>
        <translation>0 仪器</translation>
    </message>
    <message>
        <source>1 host</source>
        <translation>1 主机</translation>
    </message>
    <message>
        <source>reply time-out (ms)</source>
        <translation>应答超时(ms)</translation>
    </message>
    <message>
        <source>idle time-out (ms)</source>
        <translation>空闲超时(ms)</translation>
    </message>
    <message>
        <source>ENQ retry (ms)</source>
        <translation>ENQ 重试间隔(ms)</translation>
    </message>
    <message>
        <source>HL7 role</source>
        <translation>HL7 角色</translation>
    </message>
    <message>
        <source>0 receiver</source>
        <translation>0 接收方</translation>
    </message>
    <message>
        <source>1 sender</source>
        <translation>1 发送方</translation>
    </message>
    <message>
        <source>acknowledgement</source>
        <translation>确认应答</translation>
    </message>
    <message>
        <source>0 AA always</source>
        <translation>0 总是 AA</translation>
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
        <translation>3 不应答</translation>
    </message>
    <message>
        <source>ACK time-out (ms)</source>
        <translation>ACK 超时(ms)</translation>
    </message>
    <message>
        <source>resends</source>
        <translation>重发次数</translation>
    </message>
    <message>
        <source>largest message (bytes)</source>
        <translation>最大消息(字节)</translation>
    </message>
    <message>
        <source>control ids</source>
        <translation>控制号</translation>
    </message>
    <message>
        <source>0 running number</source>
        <translation>0 流水号</translation>
    </message>
    <message>
        <source>1 from the time</source>
        <translation>1 取自时间</translation>
    </message>
    <message>
        <source>fill an empty MSH-7 with the time</source>
        <translation>空的 MSH-7 填入当前时间</translation>
    </message>
    <message>
        <source>orders table (CSV)</source>
        <translation>检验申请表 (CSV)</translation>
    </message>
    <message>
        <source>none: queries are not answered</source>
        <translation>无：不应答查询</translation>
    </message>
    <message>
        <source>Browse...</source>
        <translation>浏览...</translation>
    </message>
    <message>
        <source>Orders table</source>
        <translation>检验申请表</translation>
    </message>
    <message>
        <source>CSV (*.csv)</source>
        <translation>CSV 文件 (*.csv)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>所有文件 (*)</translation>
    </message>
</context>
<context>
    <name>qelvor::CCsvExportRunner</name>
    <message>
        <source>Export CSV</source>
        <translation>导出 CSV</translation>
    </message>
    <message>
        <source>CSV (*.csv)</source>
        <translation>CSV 文件 (*.csv)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>所有文件 (*)</translation>
    </message>
    <message>
        <source>Exporting %1 rows...</source>
        <translation>正在导出 %1 行...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>The CSV export failed: %1</source>
        <translation>CSV 导出失败：%1</translation>
    </message>
</context>
<context>
    <name>qelvor::CDataDetailDlg</name>
    <message>
        <source>Fmt data</source>
        <translation>格式数据(Fmt)</translation>
    </message>
    <message>
        <source>Raw data</source>
        <translation>原始数据(Raw)</translation>
    </message>
    <message>
        <source>Hex data</source>
        <translation>十六进制(Hex)</translation>
    </message>
    <message>
        <source>UTF-8 dec</source>
        <translation>UTF-8解码</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>类型</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>大小</translation>
    </message>
    <message>
        <source>Save data</source>
        <translation>保存数据</translation>
    </message>
    <message>
        <source>Record fields</source>
        <translation>记录字段</translation>
    </message>
    <message>
        <source>field %1: %2</source>
        <translation>字段 %1: %2</translation>
    </message>
    <message>
        <source>repeat %1: %2</source>
        <translation>重复 %1: %2</translation>
    </message>
    <message>
        <source>component %1: %2</source>
        <translation>组件 %1: %2</translation>
    </message>
    <message>
        <source>Unknown record</source>
        <translation>未知记录</translation>
    </message>
    <message>
        <source>+ms</source>
        <translation>+毫秒</translation>
    </message>
    <message>
        <source>Message segments</source>
        <translation>消息段</translation>
    </message>
    <message>
        <source>message %1, control id %2</source>
        <translation>消息 %1，控制号 %2</translation>
    </message>
    <message>
        <source>subcomponent %1: %2</source>
        <translation>子组件 %1: %2</translation>
    </message>
</context>
<context>
    <name>qelvor::CFindBar</name>
    <message>
        <source>Find pattern</source>
        <translation>查找内容</translation>
    </message>
    <message>
        <source>Matches</source>
        <translation>匹配数</translation>
    </message>
    <message>
        <source>Close the find bar</source>
        <translation>关闭查找栏</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Stop the filter: show every row</source>
        <translation>停止过滤：显示所有行</translation>
    </message>
    <message>
        <source>Find</source>
        <translation>查找</translation>
    </message>
    <message>
        <source>text, regular expression or hex bytes (02 ?? 03)</source>
        <translation>文本、正则表达式或十六进制字节 (02 ?? 03)</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>文本</translation>
    </message>
    <message>
        <source>Regex</source>
        <translation>正则</translation>
    </message>
    <message>
        <source>Hex</source>
        <translation>十六进制</translation>
    </message>
    <message>
        <source>Previous</source>
        <translation>上一个</translation>
    </message>
    <message>
        <source>Previous match (Shift+F3)</source>
        <translation>上一个匹配 (Shift+F3)</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>下一个</translation>
    </message>
    <message>
        <source>Next match (F3, Enter)</source>
        <translation>下一个匹配 (F3、回车)</translation>
    </message>
    <message>
        <source>Close the find bar (Esc)</source>
        <translation>关闭查找栏 (Esc)</translation>
    </message>
    <message>
        <source>Show</source>
        <translation>显示</translation>
    </message>
    <message>
        <source>Sent rows</source>
        <translation>发送行</translation>
    </message>
    <message>
        <source>Received rows</source>
        <translation>接收行</translation>
    </message>
    <message>
        <source>Information rows</source>
        <translation>信息行</translation>
    </message>
    <message>
        <source>Only matching rows</source>
        <translation>仅匹配行</translation>
    </message>
    <message>
        <source>Only the rows that the find pattern matches</source>
        <translation>只显示与查找内容匹配的行</translation>
    </message>
    <message>
        <source>Find...</source>
        <translation>查找...</translation>
    </message>
    <message>
        <source>Find next</source>
        <translation>查找下一个</translation>
    </message>
    <message>
        <source>Find previous</source>
        <translation>查找上一个</translation>
    </message>
    <message>
        <source>%1 so far</source>
        <translation>已找到 %1</translation>
    </message>
    <message>
        <source>no match</source>
        <translation>无匹配</translation>
    </message>
    <message>
        <source>%1 matches</source>
        <translation>共 %1 处匹配</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>第 %1 / %2</translation>
    </message>
</context>
<context>
    <name>qelvor::CHighlightRulesDlg</name>
    <message>
        <source>Text</source>
        <translation>文本</translation>
    </message>
    <message>
        <source>Regex</source>
        <translation>正则</translation>
    </message>
    <message>
        <source>Hex</source>
        <translation>十六进制</translation>
    </message>
    <message>
        <source>Highlight rules</source>
        <translation>高亮规则</translation>
    </message>
    <message>
        <source>Mode</source>
        <translation>模式</translation>
    </message>
    <message>
        <source>Colour</source>
        <translation>颜色</translation>
    </message>
    <message>
        <source>Pattern</source>
        <translation>匹配内容</translation>
    </message>
    <message>
        <source>Colour of rule %1</source>
        <translation>规则 %1 的颜色</translation>
    </message>
    <message>
        <source>Rule %1: %2</source>
        <translation>规则 %1：%2</translation>
    </message>
</context>
<context>
    <name>qelvor::CTriggerRulesDlg</name>
    <message>
        <source>Text</source>
        <translation>文本</translation>
    </message>
    <message>
        <source>Regex</source>
        <translation>正则</translation>
    </message>
    <message>
        <source>Hex</source>
        <translation>十六进制</translation>
    </message>
    <message>
        <source>Timer</source>
        <translation>定时</translation>
    </message>
    <message>
        <source>Wrong checksum on the next frames</source>
        <translation>接下来的帧发送错误校验和</translation>
    </message>
    <message>
        <source>Good frames answered with NAK</source>
        <translation>以 NAK 应答的正确帧数</translation>
    </message>
    <message>
        <source>Good frames left without ACK</source>
        <translation>不回 ACK 的正确帧数</translation>
    </message>
    <message>
        <source>ENQs answered with ENQ</source>
        <translation>以 ENQ 回应 ENQ 的次数</translation>
    </message>
    <message>
        <source>Drop the line after frames</source>
        <translation>发送若干帧后断开连接</translation>
    </message>
    <message>
        <source>Delay every answer (ms)</source>
        <translation>每个应答延迟（毫秒）</translation>
    </message>
    <message>
        <source>Trigger rules</source>
        <translation>触发规则</translation>
    </message>
    <message>
        <source>The first enabled rule whose pattern a frame matches sends its answer (notation text: $1..$9 insert the captured groups, {DATE} {TIME} {SEQ} the date, the time and a sequence number). A timer sends its answer every period (ms) while the port is open.</source>
        <translation>帧所匹配的第一条已启用规则发送其应答（记法文本：$1..$9 插入捕获的分组，{DATE} {TIME} {SEQ} 插入日期、时间和序号）。定时规则在端口打开期间每隔一个周期（毫秒）发送其应答。</translation>
    </message>
    <message>
        <source>On</source>
        <translation>启用</translation>
    </message>
    <message>
        <source>Kind</source>
        <translation>种类</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>记录类型</translation>
    </message>
    <message>
        <source>Pattern or period</source>
        <translation>模式或周期</translation>
    </message>
    <message>
        <source>Answer</source>
        <translation>应答</translation>
    </message>
    <message>
        <source>Delay (ms)</source>
        <translation>延迟（毫秒）</translation>
    </message>
    <message>
        <source>Limit</source>
        <translation>次数限制</translation>
    </message>
    <message>
        <source>&amp;Add</source>
        <translation>添加(&amp;A)</translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <translation>删除(&amp;R)</translation>
    </message>
    <message>
        <source>Move &amp;up</source>
        <translation>上移(&amp;U)</translation>
    </message>
    <message>
        <source>Move &amp;down</source>
        <translation>下移(&amp;D)</translation>
    </message>
    <message>
        <source>Script hooks (OnFrame, OnTimer)</source>
        <translation>脚本钩子（OnFrame、OnTimer）</translation>
    </message>
    <message>
        <source>Faults (ASTM)</source>
        <translation>故障注入（ASTM）</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>关</translation>
    </message>
    <message>
        <source>Rule %1: %2</source>
        <translation>规则 %1：%2</translation>
    </message>
    <message>
        <source>Always</source>
        <translation>每次</translation>
    </message>
    <message>
        <source>%1 times</source>
        <translation>%1 次</translation>
    </message>
    <message>
        <source>Once</source>
        <translation>一次</translation>
    </message>
    <message>
        <source>How often the rule answers before it turns itself off</source>
        <translation>规则应答多少次后自动关闭</translation>
    </message>
</context>
<context>
    <name>qelvor::CMainWindow</name>
    <message>
        <source>Buffer</source>
        <translation>缓冲区</translation>
    </message>
    <message>
        <source>SendData</source>
        <translation>发送数据</translation>
    </message>
    <message>
        <source>CheckSum</source>
        <translation>校验和</translation>
    </message>
    <message>
        <source>SendCtrl</source>
        <translation>发控制符</translation>
    </message>
    <message>
        <source>LoadFile</source>
        <translation>加载文件</translation>
    </message>
    <message>
        <source>SetPort</source>
        <translation>端口设置</translation>
    </message>
    <message>
        <source>OpenPort</source>
        <translation>打开端口</translation>
    </message>
    <message>
        <source>ClosePort</source>
        <translation>关闭端口</translation>
    </message>
    <message>
        <source>SendFile</source>
        <translation>发送文件</translation>
    </message>
    <message>
        <source>ReSend</source>
        <translation>重新发送</translation>
    </message>
    <message>
        <source>SaveData</source>
        <translation>保存数据</translation>
    </message>
    <message>
        <source>scroll</source>
        <translation>滚动</translation>
    </message>
    <message>
        <source>send now</source>
        <translation>立即发送</translation>
    </message>
    <message>
        <source>AutoSend</source>
        <translation>自动发送</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>退出</translation>
    </message>
    <message>
        <source>Save Log Data</source>
        <translation>保存日志数据</translation>
    </message>
    <message>
        <source>Load data file</source>
        <translation>加载数据文件</translation>
    </message>
    <message>
        <source>Send file</source>
        <translation>发送文件</translation>
    </message>
    <message>
        <source>Save data list</source>
        <translation>保存数据列表</translation>
    </message>
    <message>
        <source>Export CSV...</source>
        <translation>导出 CSV...</translation>
    </message>
    <message>
        <source>Highlight rules...</source>
        <translation>高亮规则...</translation>
    </message>
    <message>
        <source>Trigger rules...</source>
        <translation>触发规则...</translation>
    </message>
</context>
<context>
    <name>qelvor::CModemLinesBand</name>
    <message>
        <source>Break</source>
        <translation>中断信号</translation>
    </message>
    <message>
        <source>Holds the line in the break state for 250 ms</source>
        <translation>使线路保持中断状态 250 毫秒</translation>
    </message>
    <message>
        <source>Modem lines not available on this device</source>
        <translation>此设备没有调制解调器控制线</translation>
    </message>
    <message>
        <source>%1 on</source>
        <translation>%1 有效</translation>
    </message>
    <message>
        <source>%1 off</source>
        <translation>%1 无效</translation>
    </message>
</context>
<context>
    <name>qelvor::CQuickSendDlg</name>
    <message>
        <source>Quick-send buttons</source>
        <translation>快捷发送按钮</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>Text to send</source>
        <translation>发送内容</translation>
    </message>
    <message>
        <source>Button %1 cannot be stored: a name may not hold a TAB, and neither a name nor a text a line break.
Nothing was changed.</source>
        <translation>按钮 %1 无法保存：名称中不能有 TAB，名称和内容中都不能有换行。
未做任何修改。</translation>
    </message>
</context>
<context>
    <name>qelvor::CQuickSendRow</name>
    <message>
        <source>Edit...</source>
        <translation>编辑...</translation>
    </message>
    <message>
        <source>Quick-send buttons</source>
        <translation>快捷发送按钮</translation>
    </message>
</context>
<context>
    <name>qelvor::CScrollLock</name>
    <message>
        <source>newest</source>
        <translation>最新</translation>
    </message>
    <message>
        <source>Go to the newest record and follow again (End)</source>
        <translation>跳到最新记录并继续跟随 (End)</translation>
    </message>
</context>
<context>
    <name>qelvor::CSerialPortListDlg</name>
    <message>
        <source>Serial Port in the workstation</source>
        <translation>本机串口列表</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>刷新</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>退出</translation>
    </message>
    <message>
        <source>No access</source>
        <translation>无权访问</translation>
    </message>
</context>
<context>
    <name>qelvor::CSerialDeviceList</name>
    <message>
        <source>no access: group %1</source>
        <translation>无权访问：需加入组 %1</translation>
    </message>
    <message>
        <source>busy: locked by process %1</source>
        <translation>忙：被进程 %1 锁定</translation>
    </message>
    <message>
        <source>busy: held by another program</source>
        <translation>忙：被其他程序占用</translation>
    </message>
</context>
<context>
    <name>qelvor::CStatisticsPanel</name>
    <message>
        <source>Reset</source>
        <translation>清零</translation>
    </message>
    <message>
        <source>Sent</source>
        <translation>发送</translation>
    </message>
    <message>
        <source>Received</source>
        <translation>接收</translation>
    </message>
    <message>
        <source>Bytes</source>
        <translation>字节数</translation>
    </message>
    <message>
        <source>Records</source>
        <translation>记录数</translation>
    </message>
    <message>
        <source>Bytes/s</source>
        <translation>字节/秒</translation>
    </message>
    <message>
        <source>Bad check frames</source>
        <translation>校验错误帧</translation>
    </message>
    <message>
        <source>NAKs received</source>
        <translation>收到 NAK</translation>
    </message>
    <message>
        <source>ENQs received</source>
        <translation>收到 ENQ</translation>
    </message>
    <message>
        <source>Statistics</source>
        <translation>统计</translation>
    </message>
</context>
<context>
    <name>qelvor::CStatusBar</name>
    <message>
        <source>Window menu</source>
        <translation>窗口菜单</translation>
    </message>
</context>
<context>
    <name>qelvor::CTheme</name>
    <message>
        <source>System</source>
        <translation>跟随系统</translation>
    </message>
    <message>
        <source>Light</source>
        <translation>浅色</translation>
    </message>
    <message>
        <source>Dark</source>
        <translation>深色</translation>
    </message>
    <message>
        <source>Theme</source>
        <translation>主题</translation>
    </message>
</context>
<context>
    <name>qelvor::CTrafficListOptions</name>
    <message>
        <source>Echo-free view (hide sent rows)</source>
        <translation>无回显视图（隐藏发送行）</translation>
    </message>
    <message>
        <source>Show frame check column (chk)</source>
        <translation>显示帧校验列 (chk)</translation>
    </message>
    <message>
        <source>Show time gap column (+ms)</source>
        <translation>显示时间间隔列 (+ms)</translation>
    </message>
    <message>
        <source>Gap since the previous record of the same type</source>
        <translation>间隔按上一条同类记录计算</translation>
    </message>
</context>
<context>
    <name>qelvor::CTrafficTableModel</name>
    <message>
        <source>chk</source>
        <translation>校验</translation>
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
        <translation>打开会话...</translation>
    </message>
    <message>
        <source>Keep this session</source>
        <translation>保留本次会话</translation>
    </message>
    <message>
        <source>A capture of %1 was not closed: open it / delete it</source>
        <translation>%1 的捕获未关闭：打开 / 删除</translation>
    </message>
    <message>
        <source>Open session</source>
        <translation>打开会话</translation>
    </message>
    <message>
        <source>Capture files (*.qcap);;All files (*)</source>
        <translation>捕获文件 (*.qcap);;所有文件 (*)</translation>
    </message>
    <message>
        <source>Open it</source>
        <translation>打开</translation>
    </message>
    <message>
        <source>Delete it</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>Later</source>
        <translation>以后再说</translation>
    </message>
</context>
<context>
    <name>qelvor::CMenuBar</name>
    <message>
        <source>&amp;File</source>
        <translation>文件(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>编辑(&amp;E)</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>视图(&amp;V)</translation>
    </message>
    <message>
        <source>&amp;Port</source>
        <translation>端口(&amp;P)</translation>
    </message>
    <message>
        <source>&amp;Send</source>
        <translation>发送(&amp;S)</translation>
    </message>
    <message>
        <source>&amp;Tools</source>
        <translation>工具(&amp;T)</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>帮助(&amp;H)</translation>
    </message>
    <message>
        <source>Menu bar</source>
        <translation>菜单栏</translation>
    </message>
    <message>
        <source>Menu &amp;bar</source>
        <translation>菜单栏(&amp;B)</translation>
    </message>
    <message>
        <source>&amp;Data list</source>
        <translation>数据列表(&amp;D)</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>退出(&amp;X)</translation>
    </message>
    <message>
        <source>&amp;Scroll to the newest record</source>
        <translation>滚动到最新记录(&amp;S)</translation>
    </message>
    <message>
        <source>&amp;Configure...</source>
        <translation>端口设置(&amp;C)...</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>打开端口(&amp;O)</translation>
    </message>
    <message>
        <source>C&amp;lose</source>
        <translation>关闭端口(&amp;L)</translation>
    </message>
    <message>
        <source>&amp;Send the text</source>
        <translation>发送数据(&amp;S)</translation>
    </message>
    <message>
        <source>Add the check s&amp;um</source>
        <translation>添加校验和(&amp;U)</translation>
    </message>
    <message>
        <source>Control &amp;character</source>
        <translation>控制符(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Re-send</source>
        <translation>重新发送(&amp;R)</translation>
    </message>
    <message>
        <source>Send a &amp;file...</source>
        <translation>发送文件(&amp;F)...</translation>
    </message>
    <message>
        <source>&amp;Auto send</source>
        <translation>自动发送(&amp;A)</translation>
    </message>
    <message>
        <source>Send on &amp;double-click</source>
        <translation>双击即发送(&amp;D)</translation>
    </message>
    <message>
        <source>Edit &amp;quick sends...</source>
        <translation>编辑快捷发送(&amp;Q)...</translation>
    </message>
</context>
<context>
    <name>qelvor::CWindowKeyboard</name>
    <message>
        <source>Line end after the text</source>
        <translation>文本后的行尾</translation>
    </message>
    <message>
        <source>Buffer: received bytes not yet split</source>
        <translation>缓冲区：尚未分帧的接收字节</translation>
    </message>
    <message>
        <source>Show or hide the data list</source>
        <translation>显示或隐藏数据列表</translation>
    </message>
    <message>
        <source>Traffic records</source>
        <translation>通信记录</translation>
    </message>
    <message>
        <source>Data list</source>
        <translation>数据列表</translation>
    </message>
    <message>
        <source>Text to send</source>
        <translation>待发送文本</translation>
    </message>
    <message>
        <source>Send the text</source>
        <translation>发送数据</translation>
    </message>
    <message>
        <source>Add the check sum</source>
        <translation>添加校验和</translation>
    </message>
    <message>
        <source>Send a control character</source>
        <translation>发送控制符</translation>
    </message>
    <message>
        <source>Load a data file</source>
        <translation>加载数据文件</translation>
    </message>
    <message>
        <source>Configure the port</source>
        <translation>端口设置</translation>
    </message>
    <message>
        <source>Open the port</source>
        <translation>打开端口</translation>
    </message>
    <message>
        <source>Close the port</source>
        <translation>关闭端口</translation>
    </message>
    <message>
        <source>Send a file</source>
        <translation>发送文件</translation>
    </message>
    <message>
        <source>Send again</source>
        <translation>重新发送</translation>
    </message>
    <message>
        <source>Save the records</source>
        <translation>保存数据</translation>
    </message>
    <message>
        <source>Scroll to the newest record</source>
        <translation>滚动到最新记录</translation>
    </message>
    <message>
        <source>Send on double-click</source>
        <translation>双击即发送</translation>
    </message>
    <message>
        <source>Auto send</source>
        <translation>自动发送</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>退出</translation>
    </message>
    <message>
        <source>Port state</source>
        <translation>端口状态</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>进度</translation>
    </message>
    <message>
        <source>Data processing</source>
        <translation>数据处理</translation>
    </message>
    <message>
        <source>Clock</source>
        <translation>时钟</translation>
    </message>
    <message>
        <source>Edit the quick sends</source>
        <translation>编辑快捷发送</translation>
    </message>
    <message>
        <source>Side the text is sent into</source>
        <translation>文本发往的一端</translation>
    </message>
</context>
<context>
    <name>qelvor::CLineEndSelector</name>
    <message>
        <source>None</source>
        <translation>无</translation>
    </message>
    <message>
        <source>The line end sent after the typed text</source>
        <translation>发送在输入文本之后的行尾</translation>
    </message>
    <message>
        <source>Line end</source>
        <translation>行尾</translation>
    </message>
</context>
<context>
    <name>qelvor::CTapSideSelector</name>
    <message>
        <source>The side of the tap the typed text is sent into</source>
        <translation>输入的文本发往分接的哪一端</translation>
    </message>
</context>
</TS>
