<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>Config</name>
    <message>
        <source>陀螺仪触发值</source>
        <translation>Gyroscope trigger</translation>
    </message>
    <message>
        <source>陀螺仪限位</source>
        <translation>Gyroscope limit</translation>
    </message>
    <message>
        <source>陀螺仪对应速度</source>
        <translation>Gyroscope speed</translation>
    </message>
    <message>
        <source>打印辊触发值</source>
        <translation>Print roller trigger</translation>
    </message>
    <message>
        <source>打印辊上限位</source>
        <translation>Print roller upper limit</translation>
    </message>
    <message>
        <source>打印辊下限位</source>
        <translation>Print roller lower limit</translation>
    </message>
    <message>
        <source>覆膜辊触发值</source>
        <translation>Film roller trigger</translation>
    </message>
    <message>
        <source>覆膜辊上限位</source>
        <translation>Film roller upper limit</translation>
    </message>
    <message>
        <source>覆膜辊下限位</source>
        <translation>Film roller lower limit</translation>
    </message>
    <message>
        <source>覆膜速度</source>
        <translation>Film speed</translation>
    </message>
    <message>
        <source>收纸辊触发值</source>
        <translation>Collect roller trigger</translation>
    </message>
    <message>
        <source>收纸辊上限位</source>
        <translation>Collect roller upper limit</translation>
    </message>
    <message>
        <source>收纸辊下限位</source>
        <translation>Collect roller lower limit</translation>
    </message>
    <message>
        <source>收纸速度</source>
        <translation>Collect speed</translation>
    </message>
    <message>
        <source>纠偏速度</source>
        <translation>Web guide speed</translation>
    </message>
    <message>
        <source>打印份数</source>
        <translation>Copies per batch</translation>
    </message>
    <message>
        <source>最大页数</source>
        <translation>Pages per batch</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>信息</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>调试</source>
        <translation>Debug</translation>
    </message>
    <message>
        <source>打印</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>使用打印辊</source>
        <translation>Use print roller</translation>
    </message>
    <message>
        <source>文字识别</source>
        <translation>Text recognition</translation>
    </message>
    <message>
        <source>二维码识别</source>
        <translation>QR code recognition</translation>
    </message>
    <message>
        <source>条形码识别</source>
        <translation>Barcode recognition</translation>
    </message>
    <message>
        <source>支持多页副本</source>
        <translation>Printer supports multi-page copies</translation>
    </message>
    <message>
        <source>RIIN路径</source>
        <translation>RIIN path</translation>
    </message>
    <message>
        <source>热文件夹路径</source>
        <translation>Hot folder path</translation>
    </message>
    <message>
        <source>热文件夹</source>
        <translation>Hot folder</translation>
    </message>
    <message>
        <source>打印机软件路径</source>
        <translation>Printer software path</translation>
    </message>
    <message>
        <source>打印标记类型</source>
        <translation>Print marker type</translation>
    </message>
    <message>
        <source>切割标记类型</source>
        <translation>Cut marker type</translation>
    </message>
    <message>
        <source>切割文件路径</source>
        <translation>Cut file folder</translation>
    </message>
    <message>
        <source>反切</source>
        <translation>Reverse cut</translation>
    </message>
    <message>
        <source>日志输出设置</source>
        <translation>Log output</translation>
    </message>
    <message>
        <source>基础设置</source>
        <translation>Basic</translation>
    </message>
    <message>
        <source>检测设置</source>
        <translation>Detection</translation>
    </message>
    <message>
        <source>打印设置</source>
        <translation>Printing</translation>
    </message>
    <message>
        <source>流程设置</source>
        <translation>Flow</translation>
    </message>
    <message>
        <source>控制模块</source>
        <translation>Control</translation>
    </message>
    <message>
        <source>驱动模块</source>
        <translation>Driver</translation>
    </message>
    <message>
        <source>检测模块</source>
        <translation>Sensor</translation>
    </message>
    <message>
        <source>裁断模块</source>
        <translation>Trim</translation>
    </message>
    <message>
        <source>机器连接成功，重启完成初始化</source>
        <translation>Machine connected. Restarting to finish setting up.</translation>
    </message>
    <message>
        <source>无法写入设置文件 %1（目录只读或磁盘已满），本次运行使用临时设置</source>
        <translation>Cannot write the settings file %1 (read-only folder or full disk). This run uses temporary settings.</translation>
    </message>
</context>
<context>
    <name>CollectSwitch</name>
    <message>
        <source>收卷</source>
        <translation>Rewind</translation>
    </message>
    <message>
        <source>裁断</source>
        <translation>Trim</translation>
    </message>
</context>
<context>
    <name>CutModelComboBox</name>
    <message>
        <source>速度优先</source>
        <translation>Speed first</translation>
    </message>
    <message>
        <source>平衡</source>
        <translation>Balanced</translation>
    </message>
    <message>
        <source>精度优先</source>
        <translation>Precision first</translation>
    </message>
</context>
<context>
    <name>DeviceFrame</name>
    <message>
        <source>收纸辊:</source>
        <translation>Collect:</translation>
    </message>
    <message>
        <source>覆膜辊:</source>
        <translation>Film:</translation>
    </message>
    <message>
        <source>打印辊:</source>
        <translation>Print:</translation>
    </message>
    <message>
        <source>陀螺仪:</source>
        <translation>Gyro:</translation>
    </message>
</context>
<context>
    <name>DeviceStackPage</name>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>任务运行中不可设置</source>
        <translation>Settings cannot be changed while a job runs</translation>
    </message>
    <message>
        <source>任务运行中，请先停止任务</source>
        <translation>A job is running; stop the job first</translation>
    </message>
    <message>
        <source>今日工作</source>
        <translation>Today</translation>
    </message>
    <message>
        <source>累计工作</source>
        <translation>Total</translation>
    </message>
    <message>
        <source>切割 ： </source>
        <translation>Cut : </translation>
    </message>
    <message>
        <source>打印 ：</source>
        <translation>Print : </translation>
    </message>
    <message>
        <source>扫点 ： </source>
        <translation>Marks : </translation>
    </message>
    <message>
        <source> 成功 </source>
        <translation> found </translation>
    </message>
    <message>
        <source>更新</source>
        <translation>Update</translation>
    </message>
    <message>
        <source>生成日期 ：</source>
        <translation>Build date : </translation>
    </message>
    <message>
        <source>版本 ：</source>
        <translation>Version : </translation>
    </message>
    <message>
        <source>检查更新</source>
        <translation>Check update</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>Spoolsmith 2024：卷筒标签印切一体机控制软件。
连接切割送料机，按摄像头标记点定位切割，并可检测、打印和统计。</source>
        <translation>Spoolsmith 2024: control software of the roll-fed label print-and-cut line.
It drives the cutting machine, registers each page by its camera marks, and inspects, prints and counts.</translation>
    </message>
    <message>
        <source>Spoolsmith 2024 卷筒标签印切一体机控制软件</source>
        <translation>Spoolsmith 2024, control software of the roll-fed label print-and-cut line</translation>
    </message>
</context>
<context>
    <name>TaskCopies</name>
    <message>
        <source>自动</source>
        <translation>Auto</translation>
    </message>
</context>
<context>
    <name>TaskStackPage</name>
    <message>
        <source>自动</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>切割份数</source>
        <translation>Cut copies</translation>
    </message>
    <message>
        <source>预设份数</source>
        <translation>Preset</translation>
    </message>
    <message>
        <source>打印份数</source>
        <translation>Print copies</translation>
    </message>
    <message>
        <source>选择切割文件</source>
        <translation>Choose cut file</translation>
    </message>
    <message>
        <source>选择打印文件</source>
        <translation>Choose print file</translation>
    </message>
    <message>
        <source>切割文件 (*.plt *.tva)</source>
        <translation>Cut files (*.plt *.tva)</translation>
    </message>
    <message>
        <source>打印文件 (*.pdf)</source>
        <translation>Print files (*.pdf)</translation>
    </message>
</context>
<context>
    <name>TaskStartPopup</name>
    <message>
        <source>纠偏复位</source>
        <translation>Web-guide reset</translation>
    </message>
    <message>
        <source>裁断复位</source>
        <translation>Trim reset</translation>
    </message>
    <message>
        <source>计数清零</source>
        <translation>Clear counts</translation>
    </message>
    <message>
        <source>开始工作</source>
        <translation>Start work</translation>
    </message>
    <message>
        <source>纠偏电机复位失败，请检查设备后重试</source>
        <translation>The web-guide motor reset failed; check the machine and try again</translation>
    </message>
    <message>
        <source>裁断电机复位未发出，请检查设备后重试</source>
        <translation>The trim motor reset was not sent; check the machine and try again</translation>
    </message>
    <message>
        <source>纠偏复位失败，请检查设备后重试</source>
        <translation>Web-guide reset failed. Check the machine and try again.</translation>
    </message>
    <message>
        <source>裁断复位失败，请检查设备后重试</source>
        <translation>Trim reset failed. Check the machine and try again.</translation>
    </message>
</context>
<context>
    <name>FilmView</name>
    <message>
        <source>未检出</source>
        <translation>Not found</translation>
    </message>
</context>
<context>
    <name>FirmwareDownload</name>
    <message>
        <source>下载地址无效：%1</source>
        <translation>Invalid download address: %1</translation>
    </message>
    <message>
        <source>重定向到不允许的地址：%1</source>
        <translation>Redirected to an address that is not allowed: %1</translation>
    </message>
    <message>
        <source>文件超过 %1 MiB</source>
        <translation>The file exceeds %1 MiB</translation>
    </message>
    <message>
        <source>服务器返回状态 %1</source>
        <translation>The server answered with status %1</translation>
    </message>
    <message>
        <source>下载超时</source>
        <translation>The download timed out</translation>
    </message>
    <message>
        <source>网络错误：%1</source>
        <translation>Network error: %1</translation>
    </message>
    <message>
        <source>文件为空</source>
        <translation>The file is empty</translation>
    </message>
    <message>
        <source>文件不完整：收到 %1 字节，应为 %2 字节</source>
        <translation>The file is incomplete: %1 bytes received, %2 expected</translation>
    </message>
    <message>
        <source>服务器返回了网页而不是固件</source>
        <translation>The server sent a web page instead of firmware</translation>
    </message>
    <message>
        <source>文件校验失败</source>
        <translation>The file failed its checksum</translation>
    </message>
    <message>
        <source>文件不完整：服务器未告知长度，也没有校验值</source>
        <translation>The file may be incomplete: the server announced no length and there is no checksum</translation>
    </message>
</context>
<context>
    <name>HelpStackPage</name>
    <message>
        <source>固件更新</source>
        <translation>Firmware update</translation>
    </message>
    <message>
        <source>设备序列号:</source>
        <translation>Serial number:</translation>
    </message>
    <message>
        <source>IP:</source>
        <translation>IP:</translation>
    </message>
    <message>
        <source>选择连接方式:</source>
        <translation>Connection:</translation>
    </message>
    <message>
        <source>请选择升级模块:</source>
        <translation>Module to upgrade:</translation>
    </message>
    <message>
        <source>请选择升级文件:</source>
        <translation>Firmware file:</translation>
    </message>
    <message>
        <source>升级文件</source>
        <translation>Firmware file</translation>
    </message>
    <message>
        <source>更新</source>
        <translation>Update</translation>
    </message>
    <message>
        <source>升级进度：</source>
        <translation>Upgrade progress:</translation>
    </message>
    <message>
        <source>选择升级文件</source>
        <translation>Choose the firmware file</translation>
    </message>
    <message>
        <source>升级文件 (*.*)</source>
        <translation>Firmware files (*.*)</translation>
    </message>
</context>
<context>
    <name>Main</name>
    <message>
        <source>Spoolsmith</source>
        <translation>Spoolsmith</translation>
    </message>
</context>
<context>
    <name>SettingPage</name>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <source>文字</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>二维码</source>
        <translation>QR code</translation>
    </message>
    <message>
        <source>选择程序</source>
        <translation>Choose a program</translation>
    </message>
    <message>
        <source>程序 (*.exe)</source>
        <translation>Programs (*.exe)</translation>
    </message>
    <message>
        <source>程序 (*)</source>
        <translation>Programs (*)</translation>
    </message>
    <message>
        <source>选择文件夹</source>
        <translation>Choose a folder</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>恢复默认设置</source>
        <translation>Restore defaults</translation>
    </message>
    <message>
        <source>保存默认设置</source>
        <translation>Save as defaults</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>确定要恢复到默认设置 ？</source>
        <translation>Restore the default settings?</translation>
    </message>
    <message>
        <source>确定要保存当前设置为默认设置 ？</source>
        <translation>Save the current settings as the defaults?</translation>
    </message>
</context>
<context>
    <name>OnlineServices</name>
    <message>
        <source>升级程序无法启动</source>
        <translation>The updater could not be started</translation>
    </message>
    <message>
        <source>任务运行中，请先停止任务</source>
        <translation>A job is running: stop it first</translation>
    </message>
</context>
<context>
    <name>SpoolsmithApp</name>
    <message>
        <source>任务运行中，不能测试打印</source>
        <translation>A job is running: no test print now</translation>
    </message>
    <message>
        <source>禁用打印</source>
        <translation>Printing is disabled</translation>
    </message>
    <message>
        <source>切割文件未打开 
</source>
        <translation>No cut file is open 
</translation>
    </message>
    <message>
        <source>文件打开失败，请安装office或wps</source>
        <translation>The file could not be opened; please install Office or WPS</translation>
    </message>
    <message>
        <source>请等待升级结束</source>
        <translation>Please wait until the upgrade has finished</translation>
    </message>
    <message>
        <source>任务份数不能为0 
</source>
        <translation>The number of copies cannot be 0 
</translation>
    </message>
    <message>
        <source>打印文件未打开 
</source>
        <translation>No print file is open 
</translation>
    </message>
    <message>
        <source>设备未连接，请重启设备或者选择设备 
</source>
        <translation>The machine is not linked: restart it or choose a machine 
</translation>
    </message>
    <message>
        <source>数据源正在读取，请读取完成后再开始 
</source>
        <translation>The data source is still being read: start once it is read 
</translation>
    </message>
    <message>
        <source>机器繁忙，请稍后重试</source>
        <translation>The machine is busy, please try again later</translation>
    </message>
    <message>
        <source>请稍后重试 
</source>
        <translation>The machine is busy, please try again later</translation>
    </message>
    <message>
        <source>送纸陀螺仪触发值</source>
        <translation>Feed gyroscope trigger</translation>
    </message>
    <message>
        <source>送纸陀螺仪限位</source>
        <translation>Feed gyroscope limit</translation>
    </message>
    <message>
        <source>送纸速度</source>
        <translation>Feed speed</translation>
    </message>
    <message>
        <source>排废陀螺仪触发值</source>
        <translation>Waste gyroscope trigger</translation>
    </message>
    <message>
        <source>排废陀螺仪限位</source>
        <translation>Waste gyroscope limit</translation>
    </message>
    <message>
        <source>排废速度</source>
        <translation>Waste speed</translation>
    </message>
    <message>
        <source>切割文件未打开或未识别到二维码</source>
        <translation>No cut file is open, or no QR code was read</translation>
    </message>
    <message>
        <source>切割文件未打开 
</source>
        <translation>No cut file is open 
</translation>
    </message>
    <message>
        <source>纸张偏移大于</source>
        <translation>Paper drifted by more than </translation>
    </message>
    <message>
        <source>任务运行中，请先停止任务</source>
        <translation>A job is running: stop it first</translation>
    </message>
    <message>
        <source>打印文档发送失败，请检查打印机</source>
        <translation>The print document could not be sent; please check the printer</translation>
    </message>
    <message>
        <source>打印机无法打开，请检查打印机</source>
        <translation>The printer cannot be opened; please check the printer</translation>
    </message>
    <message>
        <source>打印机无法开始打印，请检查打印机</source>
        <translation>The printer cannot start printing; please check the printer</translation>
    </message>
    <message>
        <source>打印页面无法生成，请检查打印文件</source>
        <translation>The print page cannot be drawn; please check the print file</translation>
    </message>
    <message>
        <source>热文件夹无法写入，请检查热文件夹路径</source>
        <translation>The hot folder cannot be written; please check its path</translation>
    </message>
    <message>
        <source>未选择打印机</source>
        <translation>No printer is chosen</translation>
    </message>
    <message>
        <source>打印组件未接收打印任务，请检查CorelDRAW</source>
        <translation>The print component did not take the print job; please check CorelDRAW</translation>
    </message>
    <message>
        <source>打印已禁用，不能开始只打印的任务 
</source>
        <translation>Printing is switched off: a print-only job cannot start 
</translation>
    </message>
    <message>
        <source>切割文件正在载入，请稍后 
</source>
        <translation>The cut file is still loading, please wait 
</translation>
    </message>
    <message>
        <source>打印份数已完成，请清零后再开始 
</source>
        <translation>The print preset is reached: reset the counts before starting 
</translation>
    </message>
</context>
<context>
    <name>LostLabelView</name>
    <message>
        <source>未检出</source>
        <translation>Not detected</translation>
    </message>
</context>
<context>
    <name>CutDocument</name>
    <message>
        <source>切割文件过大（超过256MB）</source>
        <translation>The cut file is too large (over 256 MB)</translation>
    </message>
    <message>
        <source>切割页面过大（%1 x %2 mm，最大 %3 平方米），未打开</source>
        <translation>The cut page is too large (%1 x %2 mm, at most %3 m²): not opened</translation>
    </message>
    <message>
        <source>不是完整有效的TVA模板</source>
        <translation>it is not a complete, valid TVA template</translation>
    </message>
    <message>
        <source>内容不是HPGL切割数据</source>
        <translation>its content is not HPGL cut data</translation>
    </message>
    <message>
        <source>切割文件无法打开（%1），未打开</source>
        <translation>Cannot open the cut file (%1): not opened</translation>
    </message>
    <message>
        <source>切割文件含本机无法切割的指令 %1，未打开</source>
        <translation>The cut file draws with %1, which this station cannot cut: not opened</translation>
    </message>
    <message>
        <source>不是本机能读取的切割文件（%1），未打开</source>
        <translation>Not a cut file this station can read (%1): not opened</translation>
    </message>
    <message>
        <source>任务运行中，请先停止任务</source>
        <translation>A job is running: stop it first</translation>
    </message>
    <message>
        <source>切割文件导出失败</source>
        <translation>The cut file could not be exported</translation>
    </message>
</context>
<context>
    <name>TRV610Plus</name>
    <message>
        <source>固件文件无效</source>
        <translation>The firmware file cannot be used</translation>
    </message>
    <message>
        <source>请检查设备状态</source>
        <translation>Please check the machine state</translation>
    </message>
    <message>
        <source>请重试</source>
        <translation>Please try again</translation>
    </message>
    <message>
        <source>设置成功</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>未设置原点</source>
        <translation>No origin has been set</translation>
    </message>
    <message>
        <source> 送纸限位 </source>
        <translation> Feed limit </translation>
    </message>
    <message>
        <source> 排废限位 </source>
        <translation> Waste limit </translation>
    </message>
    <message>
        <source> 打印容纸限位 </source>
        <translation> Print roller at its limit </translation>
    </message>
    <message>
        <source> 打印容纸过多 </source>
        <translation> Print roller too full </translation>
    </message>
    <message>
        <source> 覆膜容纸限位 </source>
        <translation> Film roller at its limit </translation>
    </message>
    <message>
        <source> 覆膜容纸过多 </source>
        <translation> Film roller too full </translation>
    </message>
    <message>
        <source> 收纸容纸限位 </source>
        <translation> Collect roller at its limit </translation>
    </message>
    <message>
        <source> 收纸容纸过多 </source>
        <translation> Collect roller too full </translation>
    </message>
    <message>
        <source> 纠偏错误 </source>
        <translation> Web guide error </translation>
    </message>
    <message>
        <source> 缺陷检测失败 </source>
        <translation> Defect detection failed </translation>
    </message>
    <message>
        <source>X轴限位 </source>
        <translation>X axis limit </translation>
    </message>
    <message>
        <source>Y轴限位 </source>
        <translation>Y axis limit </translation>
    </message>
    <message>
        <source>机器繁忙，请稍后重试</source>
        <translation>The machine is busy, please try again later</translation>
    </message>
    <message>
        <source>请检查设备状态， 正在执行任务或者未连接</source>
        <translation>Please check the machine: a job is running or it is not linked</translation>
    </message>
    <message>
        <source>切割文件未打开 
</source>
        <translation>No cut file is open 
</translation>
    </message>
    <message>
        <source>不支持的切割类型!</source>
        <translation>This cut type is not supported!</translation>
    </message>
    <message>
        <source>标记点扫描失败！</source>
        <translation>Mark scan failed!</translation>
    </message>
    <message>
        <source>标记点移动到中心失败！</source>
        <translation>Moving the mark to the centre failed!</translation>
    </message>
    <message>
        <source>切割文件未打开或未识别到二维码</source>
        <translation>No cut file is open, or no QR code was read</translation>
    </message>
    <message>
        <source>机器连接断开，任务已停止 
</source>
        <translation>The machine link was lost, the job has stopped 
</translation>
    </message>
    <message>
        <source>任务运行中，请先停止任务</source>
        <translation>A job is running: stop it first</translation>
    </message>
</context>
<context>
    <name>UpgradesSoftWidget</name>
    <message>
        <source>软件名称：</source>
        <translation>Software name:</translation>
    </message>
    <message>
        <source>软件版本：</source>
        <translation>Software version:</translation>
    </message>
    <message>
        <source>软件编码：</source>
        <translation>Software code:</translation>
    </message>
    <message>
        <source>发布日期：</source>
        <translation>Release date:</translation>
    </message>
    <message>
        <source>更新内容：</source>
        <translation>Release notes:</translation>
    </message>
    <message>
        <source>更新</source>
        <translation>Update</translation>
    </message>
</context>
<context>
    <name>UpgradesWidget</name>
    <message>
        <source>升级模块</source>
        <translation>Upgrade module</translation>
    </message>
    <message>
        <source>升级</source>
        <translation>Upgrade</translation>
    </message>
    <message>
        <source>tip</source>
        <translation>Tip</translation>
    </message>
    <message>
        <source>升级成功</source>
        <translation>Upgrade successful</translation>
    </message>
    <message>
        <source>当前版本：%1</source>
        <translation>Current version: %1</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>没有下载链接</source>
        <translation>No download link</translation>
    </message>
    <message>
        <source>下载进度%p%</source>
        <translation>Download progress %p%</translation>
    </message>
    <message>
        <source>升级进度%p%</source>
        <translation>Upgrade progress %p%</translation>
    </message>
    <message>
        <source>固件下载失败</source>
        <translation>Firmware download failed</translation>
    </message>
</context>
<context>
    <name>ZuMessageBox</name>
    <message>
        <source>确 定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取 消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>PrintFile</name>
    <message>
        <source>选择打印文件对应的切割文件</source>
        <translation>Choose the cut file of the print file</translation>
    </message>
    <message>
        <source>切割文件 (*.plt)</source>
        <translation>Cut files (*.plt)</translation>
    </message>
    <message>
        <source>文件尺寸</source>
        <translation>File size</translation>
    </message>
    <message>
        <source>选择数据源</source>
        <translation>Choose the data source</translation>
    </message>
    <message>
        <source>Excel文件 (*.xlsx)</source>
        <translation>Excel files (*.xlsx)</translation>
    </message>
    <message>
        <source>数据源无法读取</source>
        <translation>The data source cannot be read</translation>
    </message>
    <message>
        <source>数据源已到最后一行，打印停止</source>
        <translation>The data source has reached its last row; printing stopped</translation>
    </message>
    <message>
        <source>数据行%1无法生成打印文件</source>
        <translation>Data row %1 could not be written into a print file</translation>
    </message>
</context>
<context>
    <name>CameraView</name>
    <message>
        <source>蓝线表示纸张边界</source>
        <translation>The blue line marks the paper edge</translation>
    </message>
    <message>
        <source>红线表示裁断线</source>
        <translation>The red line marks the cut line</translation>
    </message>
    <message>
        <source>红色区域表示缺标</source>
        <translation>A red area marks a missing label</translation>
    </message>
    <message>
        <source>绿色表示文字识别</source>
        <translation>Green marks recognised text</translation>
    </message>
    <message>
        <source>紫色表示条形码识别</source>
        <translation>Purple marks a recognised barcode</translation>
    </message>
    <message>
        <source>橙色表示二维码识别</source>
        <translation>Orange marks a recognised QR code</translation>
    </message>
    <message>
        <source>巡边</source>
        <translation>Marks</translation>
    </message>
    <message>
        <source>检测</source>
        <translation>Check</translation>
    </message>
</context>
<context>
    <name>TaskPage</name>
    <message>
        <source>长按打开切割文件 
  双击设置更多</source>
        <translation>Long press to open a cut file 
  double click for more settings</translation>
    </message>
    <message>
        <source>长按打开打印文件 
  双击设置更多</source>
        <translation>Long press to open a print file 
  double click for more settings</translation>
    </message>
</context>
<context>
    <name>CutFilePage</name>
    <message>
        <source>切割文件</source>
        <translation>Cut file</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>导出</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>自动排序</source>
        <translation>Auto sort</translation>
    </message>
    <message>
        <source>开</source>
        <translation>On</translation>
    </message>
    <message>
        <source>关</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>载入</source>
        <translation>Loading</translation>
    </message>
    <message>
        <source>选择切割文件</source>
        <translation>Choose cut file</translation>
    </message>
    <message>
        <source>切割文件 (*.tva; *.plt)</source>
        <translation>Cut files (*.tva; *.plt)</translation>
    </message>
    <message>
        <source>保存文件</source>
        <translation>Save file</translation>
    </message>
    <message>
        <source>保存文件 (*.plt)</source>
        <translation>Save file (*.plt)</translation>
    </message>
</context>
<context>
    <name>PrintFilePage</name>
    <message>
        <source>打印文件</source>
        <translation>Print file</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>打印机</source>
        <translation>Printer</translation>
    </message>
    <message>
        <source>首选项</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>切割文件</source>
        <translation>Cut file</translation>
    </message>
    <message>
        <source>可变数据源</source>
        <translation>Data source</translation>
    </message>
    <message>
        <source>可变数据序号</source>
        <translation>Record number</translation>
    </message>
    <message>
        <source>测试打印</source>
        <translation>Test print</translation>
    </message>
    <message>
        <source>选择打印文件</source>
        <translation>Choose print file</translation>
    </message>
    <message>
        <source>打印文件 (*.pdf)</source>
        <translation>Print files (*.pdf)</translation>
    </message>
    <message>
        <source>选择数据源</source>
        <translation>Choose data source</translation>
    </message>
    <message>
        <source>Excel文件 (*.xlsx)</source>
        <translation>Excel files (*.xlsx)</translation>
    </message>
    <message>
        <source>选择打印文件的切割文件</source>
        <translation>Choose the cut file of the print file</translation>
    </message>
    <message>
        <source>切割文件 (*.tva; *.plt)</source>
        <translation>Cut files (*.tva; *.plt)</translation>
    </message>
</context>
<context>
    <name>DevicePage</name>
    <message>
        <source>机器参数</source>
        <translation>Machine parameters</translation>
    </message>
    <message>
        <source>工作模式</source>
        <translation>Work mode</translation>
    </message>
    <message>
        <source>速度</source>
        <translation>Speed</translation>
    </message>
    <message>
        <source>压力</source>
        <translation>Pressure</translation>
    </message>
    <message>
        <source>摄像头偏移</source>
        <translation>Camera offset</translation>
    </message>
    <message>
        <source>收料</source>
        <translation>Take-up</translation>
    </message>
    <message>
        <source>传感器纠偏</source>
        <translation>Sensor web guide</translation>
    </message>
    <message>
        <source>开</source>
        <translation>On</translation>
    </message>
    <message>
        <source>关</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>纠偏复位</source>
        <translation>Web guide reset</translation>
    </message>
    <message>
        <source>裁断复位</source>
        <translation>Trim reset</translation>
    </message>
    <message>
        <source>恢复默认设置</source>
        <translation>Restore defaults</translation>
    </message>
    <message>
        <source>保存默认设置</source>
        <translation>Save as defaults</translation>
    </message>
    <message>
        <source>检查安全后，点击 &lt;确 定&gt; 按钮复位分切纠偏电机！</source>
        <translation>After checking that it is safe, press &lt;OK&gt; to reset the slitting web-guide motor!</translation>
    </message>
    <message>
        <source>检查安全后，点击 &lt;确 定&gt; 按钮复位裁断电机！</source>
        <translation>After checking that it is safe, press &lt;OK&gt; to reset the trim motor!</translation>
    </message>
    <message>
        <source>确定要恢复到默认设置 ？</source>
        <translation>Restore the machine's default settings?</translation>
    </message>
    <message>
        <source>确定要保存当前设置为默认设置 ？</source>
        <translation>Save the current settings as the machine's defaults?</translation>
    </message>
    <message>
        <source>纠偏电机复位失败，请检查设备后重试</source>
        <translation>The web-guide motor reset failed; check the machine and try again</translation>
    </message>
    <message>
        <source>裁断电机复位未发出，请检查设备后重试</source>
        <translation>The trim motor reset was not sent; check the machine and try again</translation>
    </message>
    <message>
        <source>切割模式设置失败，请检查设备后重试</source>
        <translation>The cut mode was not set; check the machine and try again</translation>
    </message>
    <message>
        <source>任务运行中，请先停止任务</source>
        <translation>A job is running: stop it first</translation>
    </message>
</context>
<context>
    <name>VideoPage</name>
    <message>
        <source>灯光调整</source>
        <translation>Lights</translation>
    </message>
    <message>
        <source>补光灯</source>
        <translation>Fill light</translation>
    </message>
    <message>
        <source>顶灯</source>
        <translation>Top light</translation>
    </message>
    <message>
        <source>底灯</source>
        <translation>Back light</translation>
    </message>
    <message>
        <source>开</source>
        <translation>On</translation>
    </message>
    <message>
        <source>关</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>手动移动</source>
        <translation>Manual moves</translation>
    </message>
    <message>
        <source>测试</source>
        <translation>Tests</translation>
    </message>
    <message>
        <source>测试刀压</source>
        <translation>Test pressure</translation>
    </message>
    <message>
        <source>设置原点</source>
        <translation>Set origin</translation>
    </message>
    <message>
        <source>回到原点</source>
        <translation>To origin</translation>
    </message>
    <message>
        <source>自动找点</source>
        <translation>Find marks</translation>
    </message>
    <message>
        <source>测试标记点</source>
        <translation>Check marks</translation>
    </message>
    <message>
        <source>重复切割</source>
        <translation>Cut again</translation>
    </message>
    <message>
        <source>移动偏移</source>
        <translation>Move offset</translation>
    </message>
    <message>
        <source>空白切割</source>
        <translation>Blank cut</translation>
    </message>
    <message>
        <source>识 别</source>
        <translation>Recognise</translation>
    </message>
    <message>
        <source>识别结果</source>
        <translation>Results</translation>
    </message>
    <message>
        <source>单份切割</source>
        <translation>Cut one copy</translation>
    </message>
    <message>
        <source>收卷</source>
        <translation>Wind up</translation>
    </message>
    <message>
        <source>打印</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>份</source>
        <translation>copies</translation>
    </message>
    <message>
        <source>页面间隔</source>
        <translation>Page spacing</translation>
    </message>
    <message>
        <source>参数调整</source>
        <translation>Parameters</translation>
    </message>
    <message>
        <source>标记点尺寸</source>
        <translation>Mark size</translation>
    </message>
    <message>
        <source>3.5</source>
        <translation>3.5</translation>
    </message>
    <message>
        <source>5.0</source>
        <translation>5.0</translation>
    </message>
    <message>
        <source>点击校准摄像头偏移</source>
        <translation>Calibrate the camera offset</translation>
    </message>
    <message>
        <source>摄像头偏移</source>
        <translation>Camera offset</translation>
    </message>
    <message>
        <source>压力</source>
        <translation>Pressure</translation>
    </message>
    <message>
        <source>刻刀补偿</source>
        <translation>Knife comp.</translation>
    </message>
    <message>
        <source>闭合补偿</source>
        <translation>Closing comp.</translation>
    </message>
    <message>
        <source>点击切割100 x 100 mm 矩形</source>
        <translation>Cut a 100 x 100 mm square</translation>
    </message>
    <message>
        <source>缩放</source>
        <translation>Scale</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>测量的边长与 100 mm 相差超过 10%，确定要按此设置缩放吗？</source>
        <translation>A measured side differs from 100 mm by more than 10 %. Set the scale from it anyway?</translation>
    </message>
</context>
<context>
    <name>SettingsSaveWatch</name>
    <message>
        <source>磁盘无响应</source>
        <translation>disk not answering</translation>
    </message>
    <message>
        <source>设置未能保存到 %1（%2），本次运行仍有效，将自动重试。</source>
        <translation>Settings not saved to %1 (%2). In use until the program ends; saving is retried.</translation>
    </message>
    <message>
        <source>默认设置未能保存到 %1（%2），本次运行仍有效，将自动重试。</source>
        <translation>Defaults not saved to %1 (%2). In use until the program ends; saving is retried.</translation>
    </message>
    <message>
        <source>文件只读</source>
        <translation>file read-only</translation>
    </message>
    <message>
        <source>所在文件夹只读</source>
        <translation>folder read-only</translation>
    </message>
    <message>
        <source>无法替换原文件</source>
        <translation>file cannot be replaced</translation>
    </message>
    <message>
        <source>磁盘已满或无法写入</source>
        <translation>disk full or not writable</translation>
    </message>
</context>
</TS>
