<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>ThrotCfgDialog</name>
    <message>
        <source>Throttle Config</source>
        <translation>油门配置</translation>
    </message>
    <message>
        <source>油门最大值</source>
        <translation>油门最大值</translation>
    </message>
    <message>
        <source>刷新速率</source>
        <translation>刷新速率</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>确定</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Range of value</source>
        <translation>数值范围</translation>
    </message>
</context>
<context>
    <name>TQCAN</name>
    <message>
        <source>Reset All The Parameter !</source>
        <translation>所有参数已恢复默认 !</translation>
    </message>
</context>
<context>
    <name>TQCAN</name>
    <message>
        <source>串口</source>
        <translation>串口</translation>
    </message>
    <message>
        <source>选择串口，或输入设备路径，例如 /dev/serial/by-id/...</source>
        <translation>选择串口，或输入设备路径，例如 /dev/serial/by-id/...</translation>
    </message>
    <message>
        <source>刷新</source>
        <translation>刷新</translation>
    </message>
    <message>
        <source>CAN 链路</source>
        <translation>CAN 链路</translation>
    </message>
    <message>
        <source>语言</source>
        <translation>语言</translation>
    </message>
    <message>
        <source>固件升级</source>
        <translation>固件升级</translation>
    </message>
    <message>
        <source>固件数据库</source>
        <translation>固件数据库</translation>
    </message>
    <message>
        <source>更新数据库</source>
        <translation>更新数据库</translation>
    </message>
    <message>
        <source>设备类型</source>
        <translation>设备类型</translation>
    </message>
    <message>
        <source>硬件版本</source>
        <translation>硬件版本</translation>
    </message>
    <message>
        <source>固件版本</source>
        <translation>固件版本</translation>
    </message>
    <message>
        <source>可用版本</source>
        <translation>可用版本</translation>
    </message>
    <message>
        <source>版本说明</source>
        <translation>版本说明</translation>
    </message>
    <message>
        <source>升级</source>
        <translation>升级</translation>
    </message>
    <message>
        <source>参数设置</source>
        <translation>参数设置</translation>
    </message>
    <message>
        <source>设备列表</source>
        <translation>设备列表</translation>
    </message>
    <message>
        <source>参数</source>
        <translation>参数</translation>
    </message>
    <message>
        <source>读取参数</source>
        <translation>读取参数</translation>
    </message>
    <message>
        <source>写入参数</source>
        <translation>写入参数</translation>
    </message>
    <message>
        <source>恢复默认</source>
        <translation>恢复默认</translation>
    </message>
    <message>
        <source>保存到本地</source>
        <translation>保存到本地</translation>
    </message>
    <message>
        <source>从本地加载</source>
        <translation>从本地加载</translation>
    </message>
    <message>
        <source>CAN 总线</source>
        <translation>CAN 总线</translation>
    </message>
    <message>
        <source>当前波特率</source>
        <translation>当前波特率</translation>
    </message>
    <message>
        <source>目标波特率</source>
        <translation>目标波特率</translation>
    </message>
    <message>
        <source>设置波特率</source>
        <translation>设置波特率</translation>
    </message>
    <message>
        <source>新节点ID</source>
        <translation>新节点ID</translation>
    </message>
    <message>
        <source>设置ID</source>
        <translation>设置ID</translation>
    </message>
    <message>
        <source>油门调试</source>
        <translation>油门调试</translation>
    </message>
    <message>
        <source>禁止油门调试</source>
        <translation>禁止油门调试</translation>
    </message>
    <message>
        <source>使能1组油门</source>
        <translation>使能1组油门</translation>
    </message>
    <message>
        <source>使能2组油门</source>
        <translation>使能2组油门</translation>
    </message>
    <message>
        <source>使能3组油门</source>
        <translation>使能3组油门</translation>
    </message>
    <message>
        <source>使能4组油门</source>
        <translation>使能4组油门</translation>
    </message>
    <message>
        <source>使能5组油门</source>
        <translation>使能5组油门</translation>
    </message>
    <message>
        <source>使能6组油门</source>
        <translation>使能6组油门</translation>
    </message>
    <message>
        <source>使能7组油门</source>
        <translation>使能7组油门</translation>
    </message>
    <message>
        <source>使能8组油门</source>
        <translation>使能8组油门</translation>
    </message>
    <message>
        <source>油门参数设置</source>
        <translation>油门参数设置</translation>
    </message>
    <message>
        <source>Node</source>
        <translation>节点</translation>
    </message>
    <message>
        <source>转速</source>
        <translation>转速</translation>
    </message>
    <message>
        <source>电流</source>
        <translation>电流</translation>
    </message>
    <message>
        <source>油门</source>
        <translation>油门</translation>
    </message>
    <message>
        <source>电压</source>
        <translation>电压</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>极对数</source>
        <translation>极对数</translation>
    </message>
    <message>
        <source>显示</source>
        <translation>显示</translation>
    </message>
    <message>
        <source>通道</source>
        <translation>通道</translation>
    </message>
    <message>
        <source>比例</source>
        <translation>比例</translation>
    </message>
    <message>
        <source>默认参数</source>
        <translation>默认参数</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Please Open Serial Port First !</source>
        <translation>请先打开串口！</translation>
    </message>
    <message>
        <source>Please wait until the upgrade has finished !</source>
        <translation>请等待升级完成！</translation>
    </message>
    <message>
        <source>node 0x%1: refused the new rate (error 0x%2)</source>
        <translation>节点 0x%1：拒绝了新的波特率（错误 0x%2）</translation>
    </message>
    <message>
        <source>node 0x%1: not heard at the new rate</source>
        <translation>节点 0x%1：在新的波特率下没有响应</translation>
    </message>
    <message>
        <source>These nodes did not take the new bit rate %1 and may still run at their old rate:
%2</source>
        <translation>以下节点没有切换到新的波特率 %1，可能仍在原波特率下运行：
%2</translation>
    </message>
    <message>
        <source>The bit-rate change to %1 did not finish: the port closed. The nodes were told %1, which the rate box shows now.</source>
        <translation>波特率切换到 %1 没有完成：串口已关闭。节点已被告知 %1，波特率框现在显示该值。</translation>
    </message>
    <message>
        <source>The bit-rate change to %1 did not finish: the port closed before the nodes listed were told it. They still run at %2, which the rate box shows.</source>
        <translation>波特率切换到 %1 没有完成：串口在通知已列出的节点之前已关闭。它们仍在 %2 下运行，波特率框显示该值。</translation>
    </message>
    <message>
        <source>The new ID is sent to every node on the bus. %1 nodes are listed, and all of them would take the ID %2.
Set it anyway?</source>
        <translation>新的节点ID会发送给总线上的所有节点。当前列出了 %1 个节点，它们都会变为 ID %2。
仍然设置吗？</translation>
    </message>
    <message>
        <source>Read Para File Completed!</source>
        <translation>参数读取完成！</translation>
    </message>
    <message>
        <source>Please Get Setting Parameter First !</source>
        <translation>请先读取参数！</translation>
    </message>
    <message>
        <source>Please Chose One Dev</source>
        <translation>请选择一个设备</translation>
    </message>
    <message>
        <source>Save File Success !</source>
        <translation>文件保存成功！</translation>
    </message>
    <message>
        <source>Save File Err !</source>
        <translation>文件保存失败！</translation>
    </message>
    <message>
        <source>Serial Port Closed Unexpectedly !</source>
        <translation>串口意外关闭！</translation>
    </message>
    <message>
        <source>The motors of the throttle test may keep their last set-points. The next port opened is sent their zeros first.</source>
        <translation>油门测试的电机可能保持最后的设定值。下一个打开的串口会先向它们发送零值。</translation>
    </message>
    <message>
        <source>Open Serial Port Failed !</source>
        <translation>打开串口失败！</translation>
    </message>
    <message>
        <source>寄存器列表</source>
        <translation>寄存器列表</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>暂停</translation>
    </message>
    <message>
        <source>Select</source>
        <translation>选择</translation>
    </message>
    <message>
        <source>Type of device</source>
        <translation>设备类型</translation>
    </message>
    <message>
        <source>Hardware version</source>
        <translation>硬件版本</translation>
    </message>
    <message>
        <source>Firmware version</source>
        <translation>固件版本</translation>
    </message>
    <message>
        <source>Upgrade progress bar</source>
        <translation>升级进度</translation>
    </message>
    <message>
        <source>Please Select One Device</source>
        <translation>请选择一个设备</translation>
    </message>
    <message>
        <source>Not Have Valid Firmware To Updata,Please Check !</source>
        <translation>没有可用于升级的固件，请检查！</translation>
    </message>
    <message>
        <source>Upgrade success!</source>
        <translation>升级成功！</translation>
    </message>
    <message>
        <source>Upgrade failed, please try again!</source>
        <translation>升级失败，请重试！</translation>
    </message>
    <message>
        <source>Node 0x%1 now reports itself as &quot;%2&quot;, but version %3 is firmware for %4: nothing was sent to it. The list now shows the versions for its type.</source>
        <translation>节点 0x%1 现在报告自己是“%2”，而版本 %3 是 %4 的固件：没有向它发送任何内容。列表现在显示其类型的版本。</translation>
    </message>
    <message>
        <source>Node 0x%1 did not say what device it is: nothing was sent to it. Please try again.</source>
        <translation>节点 0x%1 没有回答它是什么设备：没有向它发送任何内容。请重试。</translation>
    </message>
    <message>
        <source>Notify</source>
        <translation>通知</translation>
    </message>
    <message>
        <source>Please click upgrade database button</source>
        <translation>请点击“更新数据库”按钮</translation>
    </message>
    <message>
        <source>Download firmware successfully</source>
        <translation>固件下载成功</translation>
    </message>
    <message>
        <source>Download firmware failed, no database is in use</source>
        <translation>固件下载失败，当前没有使用中的数据库</translation>
    </message>
    <message>
        <source>Download firmware failed, the database in use is kept</source>
        <translation>固件下载失败，继续使用当前的数据库</translation>
    </message>
    <message>
        <source>Download firmware failed</source>
        <translation>固件下载失败</translation>
    </message>
    <message>
        <source>The backup folder %1 is in the way: move it elsewhere, then update again.</source>
        <translation>备份文件夹 %1 妨碍了安装：请将它移到别处，然后重新更新。</translation>
    </message>
    <message>
        <source>Cannot write to the disk at %1: %2</source>
        <translation>无法写入磁盘 %1：%2</translation>
    </message>
    <message>
        <source>Download firmware failed, the new database is in use</source>
        <translation>固件下载失败，正在使用新的数据库</translation>
    </message>
    <message>
        <source>The install could not be undone whole: the next start completes the undo.</source>
        <translation>安装未能完全撤销：下次启动时会完成撤销。</translation>
    </message>
    <message>
        <source>The install could not be finished whole: the next start finishes it.</source>
        <translation>安装未能完全完成：下次启动时会完成安装。</translation>
    </message>
    <message>
        <source>The old lists and databases in %1 could not be removed now: the old copies are removed at the next start.</source>
        <translation>%1 中的旧列表和数据库暂时无法删除：旧副本会在下次启动时删除。</translation>
    </message>
    <message>
        <source>The install&apos;s record in %1 cannot be read now (%2): the next start settles the install.</source>
        <translation>%1 中的安装记录暂时无法读取（%2）：下次启动时会处理这次安装。</translation>
    </message>
    <message>
        <source>The install&apos;s record in %1 cannot be read (%2): the install stays as it is until a start can read it.</source>
        <translation>%1 中的安装记录无法读取（%2）：在能读取它的启动之前，安装保持原样。</translation>
    </message>
    <message>
        <source>Cannot move %1: %2</source>
        <translation>无法移动 %1：%2</translation>
    </message>
    <message>
        <source>The link %1 leads nowhere and is in the way: remove it, then update again.</source>
        <translation>链接 %1 指向不存在的位置，妨碍了安装：请删除它，然后重新更新。</translation>
    </message>
    <message>
        <source>%1 is in the way: move it elsewhere, then update again.</source>
        <translation>%1 妨碍了安装：请将它移到别处，然后重新更新。</translation>
    </message>
    <message>
        <source>%1 holds more lists and databases than an install can record. An update removes every list and database there: move those you keep elsewhere, then update again.</source>
        <translation>%1 中的列表和数据库多于安装能够记录的数量。更新会删除该文件夹中的所有列表和数据库：请把要保留的文件移到别处，然后重新更新。</translation>
    </message>
    <message>
        <source>The server sends a file named %1, a name the install keeps for its own record: the server must send it under another name.</source>
        <translation>服务器发送的文件名为 %1，此名称留作安装自身的记录：服务器须以其他名称发送该文件。</translation>
    </message>
    <message>
        <source>The server sent less than %1 bytes in the last %2 seconds.</source>
        <translation>服务器在最近 %2 秒内发送的数据少于 %1 字节。</translation>
    </message>
    <message>
        <source>Network Err, Please Check !</source>
        <translation>网络错误，请检查！</translation>
    </message>
    <message>
        <source>Register address</source>
        <translation>寄存器地址</translation>
    </message>
    <message>
        <source>Register description</source>
        <translation>寄存器名称</translation>
    </message>
    <message>
        <source>Option Names</source>
        <translation>属性</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>默认值</translation>
    </message>
    <message>
        <source>Lower limit</source>
        <translation>下限</translation>
    </message>
    <message>
        <source>Upper limit</source>
        <translation>上限</translation>
    </message>
    <message>
        <source>Current value</source>
        <translation>当前值</translation>
    </message>
    <message>
        <source>Operate</source>
        <translation>操作</translation>
    </message>
    <message>
        <source>Remark</source>
        <translation>说明</translation>
    </message>
    <message>
        <source>ID</source>
        <translation>ID</translation>
    </message>
    <message>
        <source>Please Chose Serial Port</source>
        <translation>请选择串口</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>打开</translation>
    </message>
    <message>
        <source>Chose New Type Dev, The Para Will Clear,<byte value="xd"/>
Chose Yes To Clear !</source>
        <translation>选择了不同类型的设备，参数将被清除，<byte value="xd"/>
选择“是”以清除！</translation>
    </message>
    <message>
        <source>Read Reg: %1, Err: %2, Please Check!</source>
        <translation>读取寄存器：%1，错误：%2，请检查！</translation>
    </message>
    <message>
        <source>Write Reg: %1, Err: %2, Please Check!</source>
        <translation>写入寄存器：%1，错误：%2，请检查！</translation>
    </message>
    <message>
        <source>Write Reg: %1, No Reply, Please Check!</source>
        <translation>写入寄存器：%1，无应答，请检查！</translation>
    </message>
    <message>
        <source>Read Reg: %1, No Reply, Please Check!</source>
        <translation>读取寄存器：%1，无应答，请检查！</translation>
    </message>
    <message>
        <source>Read Register List, No Reply, Please Check!</source>
        <translation>读取寄存器列表，无应答，请检查！</translation>
    </message>
    <message>
        <source>Read Register List, Err: %1, Please Check!</source>
        <translation>读取寄存器列表，错误：%1，请检查！</translation>
    </message>
    <message>
        <source>Read Register List, No Register, Please Check!</source>
        <translation>读取寄存器列表，无寄存器，请检查！</translation>
    </message>
    <message>
        <source>Read Parameters Not Finished, Please Read Again !</source>
        <translation>参数读取未完成，请重新读取！</translation>
    </message>
    <message>
        <source>Parameters Are Being Written, Please Wait !</source>
        <translation>正在写入参数，请稍候！</translation>
    </message>
    <message>
        <source>Parameters Are Being Read, Please Wait !</source>
        <translation>正在读取参数，请稍候！</translation>
    </message>
    <message>
        <source>The Dev Restarted After Its Parameters Were Read, Please Read Them Again !</source>
        <translation>读取参数后设备已重启，请重新读取参数！</translation>
    </message>
    <message>
        <source>The Dev Restarted During The Write, Please Read Its Parameters Again !</source>
        <translation>写入过程中设备已重启，请重新读取参数！</translation>
    </message>
    <message>
        <source>The Dev Has Not Answered Earlier Requests, Please Try Again Shortly!</source>
        <translation>设备尚未应答之前的请求，请稍后再试！</translation>
    </message>
    <message>
        <source>Write Parameter Success !</source>
        <translation>参数写入成功！</translation>
    </message>
    <message>
        <source>Write Parameter Not Finished, The Dev May Hold Part Of It, Please Check!</source>
        <translation>参数写入未完成，设备可能只写入了部分参数，请检查！</translation>
    </message>
    <message>
        <source>Para Is Err,</source>
        <translation>参数错误，</translation>
    </message>
    <message>
        <source>Load Local File Err, Reg %d, Please Check!</source>
        <translation>加载本地文件失败，寄存器 %d，请检查！</translation>
    </message>
    <message>
        <source>Load Local File Err, Please Check!</source>
        <translation>加载本地文件失败，请检查！</translation>
    </message>
    <message>
        <source>Load Local File Err, Dev Type Is Different, Please Check!</source>
        <translation>加载本地文件失败，设备类型不同，请检查！</translation>
    </message>
    <message>
        <source>Input Value</source>
        <translation>输入数值</translation>
    </message>
    <message>
        <source>Enter an integer:</source>
        <translation>请输入整数：</translation>
    </message>
    <message>
        <source>Chose File</source>
        <translation>选择文件</translation>
    </message>
    <message>
        <source>Text Files (*.txt)</source>
        <translation>文本文件 (*.txt)</translation>
    </message>
</context>
</TS>
