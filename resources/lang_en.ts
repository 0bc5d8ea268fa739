<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>ThrotCfgDialog</name>
    <message>
        <source>Throttle Config</source>
        <translation>Throttle Config</translation>
    </message>
    <message>
        <source>油门最大值</source>
        <translation>Throttle maximum</translation>
    </message>
    <message>
        <source>刷新速率</source>
        <translation>Refresh rate</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Range of value</source>
        <translation>Range of value</translation>
    </message>
</context>
<context>
    <name>TQCAN</name>
    <message>
        <source>Reset All The Parameter !</source>
        <translation>Reset All The Parameter !</translation>
    </message>
</context>
<context>
    <name>TQCAN</name>
    <message>
        <source>串口</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>选择串口，或输入设备路径，例如 /dev/serial/by-id/...</source>
        <translation>Choose a port, or type a device path such as /dev/serial/by-id/...</translation>
    </message>
    <message>
        <source>刷新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>CAN 链路</source>
        <translation>CAN link</translation>
    </message>
    <message>
        <source>语言</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>固件升级</source>
        <translation>Firmware upgrade</translation>
    </message>
    <message>
        <source>固件数据库</source>
        <translation>Firmware database</translation>
    </message>
    <message>
        <source>更新数据库</source>
        <translation>Update database</translation>
    </message>
    <message>
        <source>设备类型</source>
        <translation>Device type</translation>
    </message>
    <message>
        <source>硬件版本</source>
        <translation>Hardware version</translation>
    </message>
    <message>
        <source>固件版本</source>
        <translation>Firmware version</translation>
    </message>
    <message>
        <source>可用版本</source>
        <translation>Available versions</translation>
    </message>
    <message>
        <source>版本说明</source>
        <translation>Version notes</translation>
    </message>
    <message>
        <source>升级</source>
        <translation>Upgrade</translation>
    </message>
    <message>
        <source>参数设置</source>
        <translation>Parameters</translation>
    </message>
    <message>
        <source>设备列表</source>
        <translation>Devices</translation>
    </message>
    <message>
        <source>参数</source>
        <translation>Parameters</translation>
    </message>
    <message>
        <source>读取参数</source>
        <translation>Read parameters</translation>
    </message>
    <message>
        <source>写入参数</source>
        <translation>Write parameters</translation>
    </message>
    <message>
        <source>恢复默认</source>
        <translation>Restore defaults</translation>
    </message>
    <message>
        <source>保存到本地</source>
        <translation>Save to file</translation>
    </message>
    <message>
        <source>从本地加载</source>
        <translation>Load from file</translation>
    </message>
    <message>
        <source>CAN 总线</source>
        <translation>CAN bus</translation>
    </message>
    <message>
        <source>当前波特率</source>
        <translation>Bus rate</translation>
    </message>
    <message>
        <source>目标波特率</source>
        <translation>New bus rate</translation>
    </message>
    <message>
        <source>设置波特率</source>
        <translation>Set bus rate</translation>
    </message>
    <message>
        <source>新节点ID</source>
        <translation>New node ID</translation>
    </message>
    <message>
        <source>设置ID</source>
        <translation>Set ID</translation>
    </message>
    <message>
        <source>油门调试</source>
        <translation>Throttle test</translation>
    </message>
    <message>
        <source>禁止油门调试</source>
        <translation>Throttle test off</translation>
    </message>
    <message>
        <source>使能1组油门</source>
        <translation>1 group on</translation>
    </message>
    <message>
        <source>使能2组油门</source>
        <translation>2 groups on</translation>
    </message>
    <message>
        <source>使能3组油门</source>
        <translation>3 groups on</translation>
    </message>
    <message>
        <source>使能4组油门</source>
        <translation>4 groups on</translation>
    </message>
    <message>
        <source>使能5组油门</source>
        <translation>5 groups on</translation>
    </message>
    <message>
        <source>使能6组油门</source>
        <translation>6 groups on</translation>
    </message>
    <message>
        <source>使能7组油门</source>
        <translation>7 groups on</translation>
    </message>
    <message>
        <source>使能8组油门</source>
        <translation>8 groups on</translation>
    </message>
    <message>
        <source>油门参数设置</source>
        <translation>Throttle settings</translation>
    </message>
    <message>
        <source>Node</source>
        <translation>Node</translation>
    </message>
    <message>
        <source>转速</source>
        <translation>Speed</translation>
    </message>
    <message>
        <source>电流</source>
        <translation>Current</translation>
    </message>
    <message>
        <source>油门</source>
        <translation>Throttle</translation>
    </message>
    <message>
        <source>电压</source>
        <translation>Voltage</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>极对数</source>
        <translation>Pole pairs</translation>
    </message>
    <message>
        <source>显示</source>
        <translation>Show</translation>
    </message>
    <message>
        <source>通道</source>
        <translation>Channels</translation>
    </message>
    <message>
        <source>比例</source>
        <translation>Scale</translation>
    </message>
    <message>
        <source>默认参数</source>
        <translation>Defaults</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Please Open Serial Port First !</source>
        <translation>Please Open Serial Port First !</translation>
    </message>
    <message>
        <source>Please wait until the upgrade has finished !</source>
        <translation>Please wait until the upgrade has finished !</translation>
    </message>
    <message>
        <source>Read Register List, Err: %1, Please Check!</source>
        <translation>Read Register List, Err: %1, Please Check!</translation>
    </message>
    <message>
        <source>Read Register List, No Register, Please Check!</source>
        <translation>Read Register List, No Register, Please Check!</translation>
    </message>
    <message>
        <source>node 0x%1: refused the new rate (error 0x%2)</source>
        <translation>node 0x%1: refused the new rate (error 0x%2)</translation>
    </message>
    <message>
        <source>node 0x%1: not heard at the new rate</source>
        <translation>node 0x%1: not heard at the new rate</translation>
    </message>
    <message>
        <source>These nodes did not take the new bit rate %1 and may still run at their old rate:
%2</source>
        <translation>These nodes did not take the new bit rate %1 and may still run at their old rate:
%2</translation>
    </message>
    <message>
        <source>The bit-rate change to %1 did not finish: the port closed. The nodes were told %1, which the rate box shows now.</source>
        <translation>The bit-rate change to %1 did not finish: the port closed. The nodes were told %1, which the rate box shows now.</translation>
    </message>
    <message>
        <source>The bit-rate change to %1 did not finish: the port closed before the nodes listed were told it. They still run at %2, which the rate box shows.</source>
        <translation>The bit-rate change to %1 did not finish: the port closed before the nodes listed were told it. They still run at %2, which the rate box shows.</translation>
    </message>
    <message>
        <source>The new ID is sent to every node on the bus. %1 nodes are listed, and all of them would take the ID %2.
Set it anyway?</source>
        <translation>The new ID is sent to every node on the bus. %1 nodes are listed, and all of them would take the ID %2.
Set it anyway?</translation>
    </message>
    <message>
        <source>Read Para File Completed!</source>
        <translation>Read Para File Completed!</translation>
    </message>
    <message>
        <source>Please Get Setting Parameter First !</source>
        <translation>Please Get Setting Parameter First !</translation>
    </message>
    <message>
        <source>Please Chose One Dev</source>
        <translation>Please Chose One Dev</translation>
    </message>
    <message>
        <source>Save File Success !</source>
        <translation>Save File Success !</translation>
    </message>
    <message>
        <source>Save File Err !</source>
        <translation>Save File Err !</translation>
    </message>
    <message>
        <source>Serial Port Closed Unexpectedly !</source>
        <translation>Serial Port Closed Unexpectedly !</translation>
    </message>
    <message>
        <source>The motors of the throttle test may keep their last set-points. The next port opened is sent their zeros first.</source>
        <translation>The motors of the throttle test may keep their last set-points. The next port opened is sent their zeros first.</translation>
    </message>
    <message>
        <source>Open Serial Port Failed !</source>
        <translation>Open Serial Port Failed !</translation>
    </message>
    <message>
        <source>寄存器列表</source>
        <translation>Register list</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Select</source>
        <translation>Select</translation>
    </message>
    <message>
        <source>Type of device</source>
        <translation>Type of device</translation>
    </message>
    <message>
        <source>Hardware version</source>
        <translation>Hardware version</translation>
    </message>
    <message>
        <source>Firmware version</source>
        <translation>Firmware version</translation>
    </message>
    <message>
        <source>Upgrade progress bar</source>
        <translation>Upgrade progress bar</translation>
    </message>
    <message>
        <source>Please Select One Device</source>
        <translation>Please Select One Device</translation>
    </message>
    <message>
        <source>Not Have Valid Firmware To Updata,Please Check !</source>
        <translation>Not Have Valid Firmware To Updata,Please Check !</translation>
    </message>
    <message>
        <source>Upgrade success!</source>
        <translation>Upgrade success!</translation>
    </message>
    <message>
        <source>Upgrade failed, please try again!</source>
        <translation>Upgrade failed, please try again!</translation>
    </message>
    <message>
        <source>Node 0x%1 now reports itself as &quot;%2&quot;, but version %3 is firmware for %4: nothing was sent to it. The list now shows the versions for its type.</source>
        <translation>Node 0x%1 now reports itself as &quot;%2&quot;, but version %3 is firmware for %4: nothing was sent to it. The list now shows the versions for its type.</translation>
    </message>
    <message>
        <source>Node 0x%1 did not say what device it is: nothing was sent to it. Please try again.</source>
        <translation>Node 0x%1 did not say what device it is: nothing was sent to it. Please try again.</translation>
    </message>
    <message>
        <source>The Dev Restarted After Its Parameters Were Read, Please Read Them Again !</source>
        <translation>The Dev Restarted After Its Parameters Were Read, Please Read Them Again !</translation>
    </message>
    <message>
        <source>The Dev Restarted During The Write, Please Read Its Parameters Again !</source>
        <translation>The Dev Restarted During The Write, Please Read Its Parameters Again !</translation>
    </message>
    <message>
        <source>Notify</source>
        <translation>Notify</translation>
    </message>
    <message>
        <source>Please click upgrade database button</source>
        <translation>Please click upgrade database button</translation>
    </message>
    <message>
        <source>Download firmware successfully</source>
        <translation>Download firmware successfully</translation>
    </message>
    <message>
        <source>Download firmware failed, no database is in use</source>
        <translation>Download firmware failed, no database is in use</translation>
    </message>
    <message>
        <source>Download firmware failed, the database in use is kept</source>
        <translation>Download firmware failed, the database in use is kept</translation>
    </message>
    <message>
        <source>Download firmware failed</source>
        <translation>Download firmware failed</translation>
    </message>
    <message>
        <source>The backup folder %1 is in the way: move it elsewhere, then update again.</source>
        <translation>The backup folder %1 is in the way: move it elsewhere, then update again.</translation>
    </message>
    <message>
        <source>Cannot write to the disk at %1: %2</source>
        <translation>Cannot write to the disk at %1: %2</translation>
    </message>
    <message>
        <source>Download firmware failed, the new database is in use</source>
        <translation>Download firmware failed, the new database is in use</translation>
    </message>
    <message>
        <source>The install could not be undone whole: the next start completes the undo.</source>
        <translation>The install could not be undone whole: the next start completes the undo.</translation>
    </message>
    <message>
        <source>The install could not be finished whole: the next start finishes it.</source>
        <translation>The install could not be finished whole: the next start finishes it.</translation>
    </message>
    <message>
        <source>The old lists and databases in %1 could not be removed now: the old copies are removed at the next start.</source>
        <translation>The old lists and databases in %1 could not be removed now: the old copies are removed at the next start.</translation>
    </message>
    <message>
        <source>The install&apos;s record in %1 cannot be read now (%2): the next start settles the install.</source>
        <translation>The install&apos;s record in %1 cannot be read now (%2): the next start settles the install.</translation>
    </message>
    <message>
        <source>The install&apos;s record in %1 cannot be read (%2): the install stays as it is until a start can read it.</source>
        <translation>The install&apos;s record in %1 cannot be read (%2): the install stays as it is until a start can read it.</translation>
    </message>
    <message>
        <source>Cannot move %1: %2</source>
        <translation>Cannot move %1: %2</translation>
    </message>
    <message>
        <source>The link %1 leads nowhere and is in the way: remove it, then update again.</source>
        <translation>The link %1 leads nowhere and is in the way: remove it, then update again.</translation>
    </message>
    <message>
        <source>%1 is in the way: move it elsewhere, then update again.</source>
        <translation>%1 is in the way: move it elsewhere, then update again.</translation>
    </message>
    <message>
        <source>%1 holds more lists and databases than an install can record. An update removes every list and database there: move those you keep elsewhere, then update again.</source>
        <translation>%1 holds more lists and databases than an install can record. An update removes every list and database there: move those you keep elsewhere, then update again.</translation>
    </message>
    <message>
        <source>The server sends a file named %1, a name the install keeps for its own record: the server must send it under another name.</source>
        <translation>The server sends a file named %1, a name the install keeps for its own record: the server must send it under another name.</translation>
    </message>
    <message>
        <source>The server sent less than %1 bytes in the last %2 seconds.</source>
        <translation>The server sent less than %1 bytes in the last %2 seconds.</translation>
    </message>
    <message>
        <source>Network Err, Please Check !</source>
        <translation>Network Err, Please Check !</translation>
    </message>
    <message>
        <source>Register address</source>
        <translation>Register address</translation>
    </message>
    <message>
        <source>Register description</source>
        <translation>Register description</translation>
    </message>
    <message>
        <source>Option Names</source>
        <translation>Option Names</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>Lower limit</source>
        <translation>Lower limit</translation>
    </message>
    <message>
        <source>Upper limit</source>
        <translation>Upper limit</translation>
    </message>
    <message>
        <source>Current value</source>
        <translation>Current value</translation>
    </message>
    <message>
        <source>Operate</source>
        <translation>Operate</translation>
    </message>
    <message>
        <source>Remark</source>
        <translation>Remark</translation>
    </message>
    <message>
        <source>ID</source>
        <translation>ID</translation>
    </message>
    <message>
        <source>Please Chose Serial Port</source>
        <translation>Please Chose Serial Port</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>Chose New Type Dev, The Para Will Clear,<byte value="xd"/>
Chose Yes To Clear !</source>
        <translation>Chose New Type Dev, The Para Will Clear,<byte value="xd"/>
Chose Yes To Clear !</translation>
    </message>
</context>
</TS>
