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
        <translation>Control module</translation>
    </message>
    <message>
        <source>驱动模块</source>
        <translation>Driver module</translation>
    </message>
    <message>
        <source>检测模块</source>
        <translation>Sensor module</translation>
    </message>
    <message>
        <source>裁断模块</source>
        <translation>Trim module</translation>
    </message>
    <message>
        <source>机器连接成功，重启完成初始化</source>
        <translation>Machine connected. Restarting to finish setting up.</translation>
    </message>
</context>
<context>
    <name>SpoolsmithApp</name>
    <message>
        <source>请等待升级结束</source>
        <translation>Please wait until the upgrade has finished</translation>
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
</context>
<context>
    <name>LostLabelView</name>
    <message>
        <source>未检出</source>
        <translation>Not detected</translation>
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
</TS>
