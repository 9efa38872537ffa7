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
        <source>Header</source>
        <translation>头记录</translation>
    </message>
    <message>
        <source>Patient</source>
        <translation>患者</translation>
    </message>
    <message>
        <source>Order</source>
        <translation>医嘱</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>结果</translation>
    </message>
    <message>
        <source>Comment</source>
        <translation>注释</translation>
    </message>
    <message>
        <source>Request</source>
        <translation>查询</translation>
    </message>
    <message>
        <source>Terminator</source>
        <translation>结束记录</translation>
    </message>
    <message>
        <source>Manufacturer</source>
        <translation>制造商信息</translation>
    </message>
    <message>
        <source>Scientific</source>
        <translation>科学记录</translation>
    </message>
    <message>
        <source>Unknown record</source>
        <translation>未知记录</translation>
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
    <name>qelvor::CStatusBar</name>
    <message>
        <source>Window menu</source>
        <translation>窗口菜单</translation>
    </message>
</context>
</TS>
