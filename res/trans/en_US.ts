<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>AboutDialog</name>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>泽科维扫描软件 版本：%1</source>
        <translation>Zekewei Scan version: %1</translation>
    </message>
</context>
<context>
    <name>GenericScannerOptionsWidget</name>
    <message>
        <source>最大</source>
        <translation>Maximum</translation>
    </message>
    <message>
        <source>自定义</source>
        <translation>Custom</translation>
    </message>
    <message>
        <source>高级</source>
        <translation>Advanced</translation>
    </message>
    <message>
        <source>纸张大小:</source>
        <translation>Paper size:</translation>
    </message>
</context>
<context>
    <name>HelpWindow</name>
    <message>
        <source>使用说明</source>
        <translation>Manual</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>ImageViewWidget</name>
    <message>
        <source>扫描到之后</source>
        <translation>Scan After Current</translation>
    </message>
    <message>
        <source>扫描到之前</source>
        <translation>Scan Before Current</translation>
    </message>
    <message>
        <source>替换扫描</source>
        <translation>Replace Scan</translation>
    </message>
    <message>
        <source>未完成</source>
        <translation>Incomplete</translation>
    </message>
</context>
<context>
    <name>JobRunner</name>
    <message>
        <source>正在进行处理</source>
        <translation>Processing</translation>
    </message>
</context>
<context>
    <name>KxScannerOptionsWidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>基本参数</source>
        <translation>Basic</translation>
    </message>
    <message>
        <source>纸张来源：</source>
        <translation>Paper source:</translation>
    </message>
    <message>
        <source>图像模式：</source>
        <translation>Image mode:</translation>
    </message>
    <message>
        <source>多流输出模式：</source>
        <translation>Multi-image output mode:</translation>
    </message>
    <message>
        <source>分辨率(50~600)：</source>
        <translation>Resolution (50~600):</translation>
    </message>
    <message>
        <source>dpi</source>
        <translation>dpi</translation>
    </message>
    <message>
        <source>纸张大小：</source>
        <translation>Paper size:</translation>
    </message>
    <message>
        <source>        自定义宽度：</source>
        <translation>        Custom width:</translation>
    </message>
    <message>
        <source>mm</source>
        <translation>mm</translation>
    </message>
    <message>
        <source>        自定义高度：</source>
        <translation>        Custom height:</translation>
    </message>
    <message>
        <source>自动大小：</source>
        <translation>Automatic size:</translation>
    </message>
    <message>
        <source>多页进纸检测：</source>
        <translation>Multifeed detection:</translation>
    </message>
    <message>
        <source>检测空白页：</source>
        <translation>Detect blank pages:</translation>
    </message>
    <message>
        <source>        灵敏度(1~5)：</source>
        <translation>        Sensitivity (1~5):</translation>
    </message>
    <message>
        <source>高级参数</source>
        <translation>Advanced</translation>
    </message>
    <message>
        <source>色调调节：</source>
        <translation>Tone adjustment:</translation>
    </message>
    <message>
        <source>亮度(-127~127)：</source>
        <translation>Brightness (-127~127):</translation>
    </message>
    <message>
        <source>对比度(-127~127)：</source>
        <translation>Contrast (-127~127):</translation>
    </message>
    <message>
        <source>阴影(0~254)：</source>
        <translation>Shadow (0~254):</translation>
    </message>
    <message>
        <source>高光(1~255)：</source>
        <translation>Highlight (1~255):</translation>
    </message>
    <message>
        <source>伽马(0.1~10)：</source>
        <translation>Gamma (0.1~10):</translation>
    </message>
    <message>
        <source>黑白方法：</source>
        <translation>Black-and-white method:</translation>
    </message>
    <message>
        <source>        灵敏度(-50~50)：</source>
        <translation>        Sensitivity (-50~50):</translation>
    </message>
    <message>
        <source>        背景阈值(-50~50)：</source>
        <translation>        Background threshold (-50~50):</translation>
    </message>
    <message>
        <source>        SDTC模式：</source>
        <translation>        SDTC mode:</translation>
    </message>
    <message>
        <source>        阈值(0~255)：</source>
        <translation>        Threshold (0~255):</translation>
    </message>
    <message>
        <source>边缘裁剪：</source>
        <translation>Edge cropping:</translation>
    </message>
    <message>
        <source>Jpeg压缩：</source>
        <translation>JPEG compression:</translation>
    </message>
    <message>
        <source>背景色：</source>
        <translation>Background color:</translation>
    </message>
    <message>
        <source>滤色：</source>
        <translation>Color dropout:</translation>
    </message>
    <message>
        <source>清晰度：</source>
        <translation>Sharpness:</translation>
    </message>
    <message>
        <source>扩展参数</source>
        <translation>Extended</translation>
    </message>
    <message>
        <source>图像旋转：</source>
        <translation>Image rotation:</translation>
    </message>
    <message>
        <source>度</source>
        <translation>degrees</translation>
    </message>
    <message>
        <source>页边修复：</source>
        <translation>Edge repair:</translation>
    </message>
    <message>
        <source>自动大小-优先度：</source>
        <translation>Automatic size priority:</translation>
    </message>
    <message>
        <source>移除装订孔：</source>
        <translation>Punch hole removal:</translation>
    </message>
    <message>
        <source>        颜色填充：</source>
        <translation>        Fill color:</translation>
    </message>
    <message>
        <source>        模式：</source>
        <translation>        Mode:</translation>
    </message>
    <message>
        <source>上下分割：</source>
        <translation>Split top and bottom:</translation>
    </message>
    <message>
        <source>正反面合并：</source>
        <translation>Merge front and back:</translation>
    </message>
    <message>
        <source>        反面位置：</source>
        <translation>        Back side position:</translation>
    </message>
    <message>
        <source>        反面旋转：</source>
        <translation>        Back side rotation:</translation>
    </message>
    <message>
        <source>清除颜色：</source>
        <translation>Color removal:</translation>
    </message>
    <message>
        <source>        灵敏度(-5~5)：</source>
        <translation>        Sensitivity (-5~5):</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>泽科维扫描软件</source>
        <translation>Zekewei Scan</translation>
    </message>
    <message>
        <source>返回图像显示</source>
        <translation>Back to Image View</translation>
    </message>
    <message>
        <source>图像保存路径：  </source>
        <translation>Save folder:  </translation>
    </message>
    <message>
        <source>选择...</source>
        <translation>Choose...</translation>
    </message>
    <message>
        <source>文件名前缀：   </source>
        <translation>File name prefix:   </translation>
    </message>
    <message>
        <source>计数器：   </source>
        <translation>Counter:   </translation>
    </message>
    <message>
        <source>最小位数:</source>
        <translation>Minimum digits:</translation>
    </message>
    <message>
        <source>图像格式：</source>
        <translation>Image format:</translation>
    </message>
    <message>
        <source>扫描完立即保存:</source>
        <translation>Save right after scanning:</translation>
    </message>
    <message>
        <source>软件语言：</source>
        <translation>Language:</translation>
    </message>
    <message>
        <source>显示所有SANE扫描仪</source>
        <translation>Show all SANE scanners</translation>
    </message>
    <message>
        <source>文件(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>扫描(&amp;S)</source>
        <translation>&amp;Scan</translation>
    </message>
    <message>
        <source>编辑(&amp;E)</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>查看(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>视图(&amp;W)</source>
        <translation>&amp;Window</translation>
    </message>
    <message>
        <source>帮助(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>扫描到最后</source>
        <translation>Scan to End</translation>
    </message>
    <message>
        <source>扫描到之前</source>
        <translation>Scan Before Current</translation>
    </message>
    <message>
        <source>扫描到之后</source>
        <translation>Scan After Current</translation>
    </message>
    <message>
        <source>替换扫描</source>
        <translation>Replace Scan</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>手动通过</source>
        <translation>Manual Pass</translation>
    </message>
    <message>
        <source>逆时针90°</source>
        <translation>Rotate 90° Left</translation>
    </message>
    <message>
        <source>旋转180°</source>
        <translation>Rotate 180°</translation>
    </message>
    <message>
        <source>顺时针90°</source>
        <translation>Rotate 90° Right</translation>
    </message>
    <message>
        <source>全选</source>
        <translation>Select All</translation>
    </message>
    <message>
        <source>反选</source>
        <translation>Invert Selection</translation>
    </message>
    <message>
        <source>上移</source>
        <translation>Move Up</translation>
    </message>
    <message>
        <source>下移</source>
        <translation>Move Down</translation>
    </message>
    <message>
        <source>清除全部</source>
        <translation>Clear All</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>放大</source>
        <translation>Zoom In</translation>
    </message>
    <message>
        <source>缩小</source>
        <translation>Zoom Out</translation>
    </message>
    <message>
        <source>自适应</source>
        <translation>Fit to Window</translation>
    </message>
    <message>
        <source>实际大小</source>
        <translation>Actual Size</translation>
    </message>
    <message>
        <source>首页</source>
        <translation>First Page</translation>
    </message>
    <message>
        <source>上一页 ↑</source>
        <translation>Previous Page ↑</translation>
    </message>
    <message>
        <source>下一页 ↓</source>
        <translation>Next Page ↓</translation>
    </message>
    <message>
        <source>尾页</source>
        <translation>Last Page</translation>
    </message>
    <message>
        <source>图像显示</source>
        <translation>Image View</translation>
    </message>
    <message>
        <source>扫描配置</source>
        <translation>Scan Settings</translation>
    </message>
    <message>
        <source>系统配置</source>
        <translation>System Settings</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>跳转</source>
        <translation>Go to page</translation>
    </message>
    <message>
        <source>当前图像数量：%1</source>
        <translation>Images: %1</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>扫描图像未保存，确定要退出吗？</source>
        <translation>The scanned images have not been saved. Exit anyway?</translation>
    </message>
    <message>
        <source>扫描配置已修改，是否要保存？</source>
        <translation>The scan settings have been changed. Save them?</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>保存失败</source>
        <translation>Saving failed</translation>
    </message>
    <message>
        <source>扫描配置已保存</source>
        <translation>Scan settings saved</translation>
    </message>
    <message>
        <source>未连接扫描仪</source>
        <translation>No scanner connected</translation>
    </message>
    <message>
        <source>当前连接扫描仪：%1</source>
        <translation>Connected scanner: %1</translation>
    </message>
    <message>
        <source>未找到扫描仪</source>
        <translation>No scanner found</translation>
    </message>
    <message>
        <source>未安装驱动</source>
        <translation>No driver installed</translation>
    </message>
    <message>
        <source>打开扫描仪失败:%1</source>
        <translation>Failed to open the scanner: %1</translation>
    </message>
    <message>
        <source>检测到插入扫描设备%1正在进行配置...</source>
        <translation>A scanner was plugged in.%1Configuring...</translation>
    </message>
    <message>
        <source>检测到拔出扫描设备%1正在进行配置...</source>
        <translation>A scanner was unplugged.%1Configuring...</translation>
    </message>
    <message>
        <source>检测到扫描设备的变动%1正在进行配置...</source>
        <translation>The scanners have changed.%1Configuring...</translation>
    </message>
    <message>
        <source>检测扫描仪操作已完成%1[本窗口自动关闭]</source>
        <translation>Scanner detection finished.%1[This window closes by itself]</translation>
    </message>
    <message>
        <source>已断开：%1</source>
        <translation>Disconnected: %1</translation>
    </message>
    <message>
        <source>当前连接：%1</source>
        <translation>Connected: %1</translation>
    </message>
    <message>
        <source>正在切换扫描仪...</source>
        <translation>Switching scanner...</translation>
    </message>
    <message>
        <source>切换扫描仪失败:%1</source>
        <translation>Failed to switch the scanner: %1</translation>
    </message>
    <message>
        <source>切换扫描仪已完成%1[本窗口自动关闭]</source>
        <translation>Scanner switched.%1[This window closes by itself]</translation>
    </message>
    <message>
        <source>正在获取默认参数...</source>
        <translation>Reading the default settings...</translation>
    </message>
    <message>
        <source>获取默认参数失败:%1%2</source>
        <translation>Failed to read the default settings: %1%2</translation>
    </message>
    <message>
        <source>正在设置扫描参数...</source>
        <translation>Setting the scan options...</translation>
    </message>
    <message>
        <source>设置扫描参数失败:%1</source>
        <translation>Failed to set the scan options: %1</translation>
    </message>
    <message>
        <source>正在进行保存...</source>
        <translation>Saving...</translation>
    </message>
    <message>
        <source>正在进行扫描...</source>
        <translation>Scanning...</translation>
    </message>
    <message>
        <source>正在停止扫描...</source>
        <translation>Stopping the scan...</translation>
    </message>
    <message>
        <source>正在进行扫描...%1当前第%2张图像</source>
        <translation>Scanning...%1Current image: %2</translation>
    </message>
    <message>
        <source>发现上次未保存的 %1 张图像，是否恢复？</source>
        <translation>Found %1 unsaved images from the last session. Restore them?</translation>
    </message>
    <message>
        <source>正常</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>设置了不正确的选项(错误码:1)</source>
        <translation>An invalid option was set (error code: 1)</translation>
    </message>
    <message>
        <source>操作被取消(错误码:2)</source>
        <translation>The operation was cancelled (error code: 2)</translation>
    </message>
    <message>
        <source>设备忙碌(错误码:3)%1请检查扫描仪是否被占用</source>
        <translation>The device is busy (error code: 3)%1Please check whether the scanner is in use</translation>
    </message>
    <message>
        <source>数据不合法(或找不到设备)(错误码:4)</source>
        <translation>Invalid data (or device not found) (error code: 4)</translation>
    </message>
    <message>
        <source>没有更多可用数据(已到达文件尾部)(错误码:5)</source>
        <translation>No more data available (end of file reached) (error code: 5)</translation>
    </message>
    <message>
        <source>检测到多页进纸(错误码:6)%1请取出堵塞的纸张</source>
        <translation>Multifeed detected (error code: 6)%1Please remove the jammed paper</translation>
    </message>
    <message>
        <source>检测到卡纸(错误码:6)%1请取出堵塞的纸张</source>
        <translation>Paper jam detected (error code: 6)%1Please remove the jammed paper</translation>
    </message>
    <message>
        <source>进纸器没有纸张(错误码:7)%1请放入纸张</source>
        <translation>The feeder is out of paper (error code: 7)%1Please load paper</translation>
    </message>
    <message>
        <source>进纸器被打开(错误码:8)%1请关闭进纸器</source>
        <translation>The feeder is open (error code: 8)%1Please close the feeder</translation>
    </message>
    <message>
        <source>设备在输入/输出过程中出现错误(错误码:9)%1请打开进纸器并清洁传感器%1或确认运输锁开关已解锁%1或重启扫描仪</source>
        <translation>The device had an input/output error (error code: 9)%1Please open the feeder and clean the sensors%1or make sure the transport lock is released%1or restart the scanner</translation>
    </message>
    <message>
        <source>扫描过程中内存不足(错误码:10)</source>
        <translation>Out of memory while scanning (error code: 10)</translation>
    </message>
    <message>
        <source>无法读写文件(错误码:11)%1请确认文件保存路径有读写权限</source>
        <translation>Cannot read or write the file (error code: 11)%1Please make sure the save folder is readable and writable</translation>
    </message>
    <message>
        <source>未知错误</source>
        <translation>Unknown error</translation>
    </message>
    <message>
        <source>TIFF</source>
        <translation>TIFF</translation>
    </message>
    <message>
        <source>多页TIFF</source>
        <translation>Multi-page TIFF</translation>
    </message>
    <message>
        <source>PNM</source>
        <translation>PNM</translation>
    </message>
    <message>
        <source>JPEG</source>
        <translation>JPEG</translation>
    </message>
    <message>
        <source>PNG</source>
        <translation>PNG</translation>
    </message>
    <message>
        <source>单页PDF</source>
        <translation>Single-page PDF</translation>
    </message>
    <message>
        <source>PDF</source>
        <translation>PDF</translation>
    </message>
    <message>
        <source>单页OFD</source>
        <translation>Single-page OFD</translation>
    </message>
    <message>
        <source>OFD</source>
        <translation>OFD</translation>
    </message>
    <message>
        <source>文件名前缀包含非法字符，只能包含:[A-Z a-z 0-9 _ -]五种字符和常用汉字</source>
        <translation>The file name prefix contains invalid characters. Only [A-Z a-z 0-9 _ -] and common Chinese characters are allowed</translation>
    </message>
    <message>
        <source>文件名前缀过长，加上计数器和扩展名后超出文件名的长度限制(255字节)</source>
        <translation>The file name prefix is too long: with the counter and the extension the file name exceeds the length limit (255 bytes)</translation>
    </message>
    <message>
        <source>计数器必须大于等于1且小于20000000</source>
        <translation>The counter must be at least 1 and less than 20000000</translation>
    </message>
    <message>
        <source>选择文件夹</source>
        <translation>Choose Folder</translation>
    </message>
    <message>
        <source>路径无读写权限</source>
        <translation>No read or write permission for the folder</translation>
    </message>
    <message>
        <source>未找到本公司扫描仪，是否使用其他SANE扫描仪？</source>
        <translation>No scanner of ours was found. Use another SANE scanner?</translation>
    </message>
    <message>
        <source>磁盘空间不足</source>
        <translation>the disk is full</translation>
    </message>
    <message>
        <source>工作文件夹已不存在</source>
        <translation>the work folder no longer exists</translation>
    </message>
    <message>
        <source>工作文件夹不可写</source>
        <translation>the work folder cannot be written</translation>
    </message>
    <message>
        <source>写入出错</source>
        <translation>a write error occurred</translation>
    </message>
    <message>
        <source>恢复记录已恢复正常保存</source>
        <translation>The recovery record is being saved again</translation>
    </message>
    <message>
        <source>发现上次未保存的 %1 张图像（其中 %2 张已损坏），是否恢复？</source>
        <translation>Found %1 unsaved images from last time (%2 of them damaged). Restore them?</translation>
    </message>
    <message>
        <source>另存为…</source>
        <translation>Save As…</translation>
    </message>
    <message>
        <source>使用说明</source>
        <translation>Manual</translation>
    </message>
    <message>
        <source>快捷键</source>
        <translation>Keyboard Shortcuts</translation>
    </message>
    <message>
        <source>文字识别：</source>
        <translation>Text recognition:</translation>
    </message>
    <message>
        <source>复制文字</source>
        <translation>Copy Text</translation>
    </message>
    <message>
        <source>文字识别：%1/%2</source>
        <translation>Recognising text: %1/%2</translation>
    </message>
    <message>
        <source>正在识别文字… %1/%2</source>
        <translation>Recognising text… %1/%2</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>不识别</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>简体中文+英文</source>
        <translation>Simplified Chinese + English</translation>
    </message>
    <message>
        <source>繁體中文+英文</source>
        <translation>Traditional Chinese + English</translation>
    </message>
    <message>
        <source>英文</source>
        <translation>English</translation>
    </message>
    <message>
        <source>选中的图像没有识别出的文字</source>
        <translation>The selected pages have no recognised text</translation>
    </message>
    <message>
        <source>已复制 %1 页的文字</source>
        <comment>one page</comment>
        <translation>Copied the text of %1 page</translation>
    </message>
    <message>
        <source>已复制 %1 页的文字</source>
        <comment>several pages</comment>
        <translation>Copied the text of %1 pages</translation>
    </message>
    <message>
        <source>扫描文档</source>
        <translation>Scan</translation>
    </message>
    <message>
        <source>%1（新内容在隐藏文件 %2 中）</source>
        <translation>%1 (the new content is in the hidden file %2)</translation>
    </message>
    <message>
        <source>上次中断的保存未能完成以下文件：同名文件已被替换，现有文件保持不变。</source>
        <translation>The interrupted last save could not finish these files: another file had taken the name and was kept as it is.</translation>
    </message>
    <message>
        <source>平板没有扫描到图像(错误码:7)%1请将文稿放好后重新扫描</source>
        <translation>The flatbed gave no image (error code: 7)%1Please place the document and scan again</translation>
    </message>
    <message>
        <source>无法保存恢复记录：%1，最近的更改尚未保留（程序意外退出时将丢失）</source>
        <translation>Recovery record not saved: %1; the latest changes would be lost in a crash</translation>
    </message>
    <message numerus="yes">
        <source>扫描到之前 %n 张图像</source>
        <translation>
            <numerusform>Scan Before Current (%n image)</numerusform>
            <numerusform>Scan Before Current (%n images)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>扫描到之后 %n 张图像</source>
        <translation>
            <numerusform>Scan After Current (%n image)</numerusform>
            <numerusform>Scan After Current (%n images)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>替换扫描 %n 张图像</source>
        <translation>
            <numerusform>Replace Scan (%n image)</numerusform>
            <numerusform>Replace Scan (%n images)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>扫描到最后 %n 张图像</source>
        <translation>
            <numerusform>Scan to End (%n image)</numerusform>
            <numerusform>Scan to End (%n images)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>恢复 %n 张图像</source>
        <translation>
            <numerusform>Restore (%n image)</numerusform>
            <numerusform>Restore (%n images)</numerusform>
        </translation>
    </message>
    <message>
        <source>按 %1 开始扫描</source>
        <translation>Press %1 to start scanning</translation>
    </message>
</context>
<context>
    <name>MaskerDialog</name>
    <message>
        <source>停止扫描</source>
        <translation>Stop Scan</translation>
    </message>
</context>
<context>
    <name>OcrEngine</name>
    <message>
        <source>未安装文字识别数据：%1</source>
        <translation>Text recognition data not installed: %1</translation>
    </message>
    <message>
        <source>文字识别数据无法加载：%1</source>
        <translation>Text recognition data cannot be loaded: %1</translation>
    </message>
    <message>
        <source>未选择文字识别语言</source>
        <translation>No text recognition language chosen</translation>
    </message>
    <message>
        <source>无法读取页面文件：%1</source>
        <translation>Cannot read the page file: %1</translation>
    </message>
    <message>
        <source>内存不足，无法识别页面：%1</source>
        <translation>Not enough memory to recognise the page: %1</translation>
    </message>
    <message>
        <source>文字识别失败：%1</source>
        <translation>Text recognition failed: %1</translation>
    </message>
</context>
<context>
    <name>OcrQueue</name>
    <message>
        <source>文字识别已取消</source>
        <translation>Text recognition cancelled</translation>
    </message>
</context>
<context>
    <name>OptionsContainerWidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>扫描仪：</source>
        <translation>Scanner:</translation>
    </message>
    <message>
        <source>恢复默认参数</source>
        <translation>Restore Defaults</translation>
    </message>
    <message>
        <source>该扫描仪没有可用的配置界面</source>
        <translation>This scanner has no settings page</translation>
    </message>
</context>
<context>
    <name>PageCommands</name>
    <message>
        <source>撤销%1</source>
        <translation>Undo %1</translation>
    </message>
    <message>
        <source>撤销</source>
        <translation>Undo</translation>
    </message>
    <message>
        <source>重做%1</source>
        <translation>Redo %1</translation>
    </message>
    <message>
        <source>重做</source>
        <translation>Redo</translation>
    </message>
    <message>
        <source>是否删除选中的 %1 张图像？</source>
        <comment>one page</comment>
        <translation>Delete the %1 selected image?</translation>
    </message>
    <message>
        <source>是否删除选中的 %1 张图像？</source>
        <comment>several pages</comment>
        <translation>Delete the %1 selected images?</translation>
    </message>
    <message>
        <source>是否清除全部 %1 张图像？</source>
        <comment>one page</comment>
        <translation>Clear all images (%1 image)?</translation>
    </message>
    <message>
        <source>是否清除全部 %1 张图像？</source>
        <comment>several pages</comment>
        <translation>Clear all %1 images?</translation>
    </message>
    <message numerus="yes">
        <source>向右旋转 %n 张图像</source>
        <translation>
            <numerusform>Rotate 90° Right (%n image)</numerusform>
            <numerusform>Rotate 90° Right (%n images)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>向左旋转 %n 张图像</source>
        <translation>
            <numerusform>Rotate 90° Left (%n image)</numerusform>
            <numerusform>Rotate 90° Left (%n images)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>旋转180° %n 张图像</source>
        <translation>
            <numerusform>Rotate 180° (%n image)</numerusform>
            <numerusform>Rotate 180° (%n images)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>删除 %n 张图像</source>
        <translation>
            <numerusform>Delete (%n image)</numerusform>
            <numerusform>Delete (%n images)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>清除全部 %n 张图像</source>
        <translation>
            <numerusform>Clear All (%n image)</numerusform>
            <numerusform>Clear All (%n images)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>移动 %n 张图像</source>
        <translation>
            <numerusform>Move (%n image)</numerusform>
            <numerusform>Move (%n images)</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>不能通过sudo方式运行泽科维扫描软件</source>
        <translation>Zekewei Scan cannot be run through sudo</translation>
    </message>
    <message>
        <source>泽科维扫描软件正在运行</source>
        <translation>Zekewei Scan is already running</translation>
    </message>
    <message>
        <source>自定义</source>
        <translation>Custom</translation>
    </message>
    <message>
        <source>平板</source>
        <translation>Flatbed</translation>
    </message>
    <message>
        <source>进纸器(正面)</source>
        <translation>Feeder (front)</translation>
    </message>
    <message>
        <source>进纸器(背面)</source>
        <translation>Feeder (back)</translation>
    </message>
    <message>
        <source>进纸器(双面)</source>
        <translation>Feeder (duplex)</translation>
    </message>
    <message>
        <source>黑白</source>
        <translation>Black and white</translation>
    </message>
    <message>
        <source>灰度</source>
        <translation>Grayscale</translation>
    </message>
    <message>
        <source>彩色</source>
        <translation>Color</translation>
    </message>
    <message>
        <source>自动检测颜色</source>
        <translation>Automatic color detection</translation>
    </message>
    <message>
        <source>多流输出</source>
        <translation>Multi-image output</translation>
    </message>
    <message>
        <source>彩色+黑白</source>
        <translation>Color + black and white</translation>
    </message>
    <message>
        <source>灰度+黑白</source>
        <translation>Grayscale + black and white</translation>
    </message>
    <message>
        <source>Double-Letter纸</source>
        <translation>Double Letter</translation>
    </message>
    <message>
        <source>Letter纸</source>
        <translation>Letter</translation>
    </message>
    <message>
        <source>Legal纸</source>
        <translation>Legal</translation>
    </message>
    <message>
        <source>Folio纸</source>
        <translation>Folio</translation>
    </message>
    <message>
        <source>Executive纸</source>
        <translation>Executive</translation>
    </message>
    <message>
        <source>明信片</source>
        <translation>Postcard</translation>
    </message>
    <message>
        <source>名片</source>
        <translation>Business card</translation>
    </message>
    <message>
        <source>速度</source>
        <translation>Speed</translation>
    </message>
    <message>
        <source>准确度</source>
        <translation>Accuracy</translation>
    </message>
    <message>
        <source>常规</source>
        <translation>Regular</translation>
    </message>
    <message>
        <source>自动尺寸</source>
        <translation>Automatic size</translation>
    </message>
    <message>
        <source>过度扫描</source>
        <translation>Overscan</translation>
    </message>
    <message>
        <source>黑色</source>
        <translation>Black</translation>
    </message>
    <message>
        <source>白色</source>
        <translation>White</translation>
    </message>
    <message>
        <source>动态阈值</source>
        <translation>Dynamic threshold</translation>
    </message>
    <message>
        <source>SDTC 模式</source>
        <translation>SDTC mode</translation>
    </message>
    <message>
        <source>静态阈值</source>
        <translation>Static threshold</translation>
    </message>
    <message>
        <source>误差扩散</source>
        <translation>Error diffusion</translation>
    </message>
    <message>
        <source>不检测</source>
        <translation>Do not detect</translation>
    </message>
    <message>
        <source>检测</source>
        <translation>Detect</translation>
    </message>
    <message>
        <source>背景色</source>
        <translation>Background color</translation>
    </message>
    <message>
        <source>高级</source>
        <translation>Advanced</translation>
    </message>
    <message>
        <source>红色</source>
        <translation>Red</translation>
    </message>
    <message>
        <source>绿色</source>
        <translation>Green</translation>
    </message>
    <message>
        <source>蓝色</source>
        <translation>Blue</translation>
    </message>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <source>平滑</source>
        <translation>Smooth</translation>
    </message>
    <message>
        <source>强调轮廓 Level 1</source>
        <translation>Emphasize edges level 1</translation>
    </message>
    <message>
        <source>强调轮廓 Level 2</source>
        <translation>Emphasize edges level 2</translation>
    </message>
    <message>
        <source>强调轮廓 Level 3</source>
        <translation>Emphasize edges level 3</translation>
    </message>
    <message>
        <source>消除网线 Level 1</source>
        <translation>Descreen level 1</translation>
    </message>
    <message>
        <source>消除网线 Level 2</source>
        <translation>Descreen level 2</translation>
    </message>
    <message>
        <source>消除网线 Level 3</source>
        <translation>Descreen level 3</translation>
    </message>
    <message>
        <source>消除网线 Level 4</source>
        <translation>Descreen level 4</translation>
    </message>
    <message>
        <source>低</source>
        <translation>Low</translation>
    </message>
    <message>
        <source>中</source>
        <translation>Medium</translation>
    </message>
    <message>
        <source>高</source>
        <translation>High</translation>
    </message>
    <message>
        <source>YUV444</source>
        <translation>YUV444</translation>
    </message>
    <message>
        <source>YUV422</source>
        <translation>YUV422</translation>
    </message>
    <message>
        <source>YUV411</source>
        <translation>YUV411</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>背书器(背面)</source>
        <translation>Endorser (back)</translation>
    </message>
    <message>
        <source>水平-标准</source>
        <translation>Horizontal - normal</translation>
    </message>
    <message>
        <source>水平-粗体</source>
        <translation>Horizontal - bold</translation>
    </message>
    <message>
        <source>横排-瘦体</source>
        <translation>Horizontal - narrow</translation>
    </message>
    <message>
        <source>垂直-标准</source>
        <translation>Vertical - normal</translation>
    </message>
    <message>
        <source>垂直-粗体</source>
        <translation>Vertical - bold</translation>
    </message>
    <message>
        <source>顶部到底部</source>
        <translation>Top to bottom</translation>
    </message>
    <message>
        <source>底部到顶部</source>
        <translation>Bottom to top</translation>
    </message>
    <message>
        <source>自动</source>
        <translation>Automatic</translation>
    </message>
    <message>
        <source>普通</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>柔和</source>
        <translation>Soft</translation>
    </message>
    <message>
        <source>锐化</source>
        <translation>Sharpen</translation>
    </message>
    <message>
        <source>明亮</source>
        <translation>Bright</translation>
    </message>
    <message>
        <source>标准</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>上</source>
        <translation>Top</translation>
    </message>
    <message>
        <source>下</source>
        <translation>Bottom</translation>
    </message>
    <message>
        <source>左</source>
        <translation>Left</translation>
    </message>
    <message>
        <source>右</source>
        <translation>Right</translation>
    </message>
    <message>
        <source>直接扫描</source>
        <translation>Direct scan</translation>
    </message>
    <message>
        <source>Double-letterL纸</source>
        <translation>Double Letter (long)</translation>
    </message>
    <message>
        <source>LetterL纸</source>
        <translation>Letter (long)</translation>
    </message>
    <message>
        <source>LegalL纸</source>
        <translation>Legal (long)</translation>
    </message>
</context>
<context>
    <name>RV920ScannerOptionsWidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>基本参数</source>
        <translation>Basic</translation>
    </message>
    <message>
        <source>纸张来源：</source>
        <translation>Paper source:</translation>
    </message>
    <message>
        <source>图像模式：</source>
        <translation>Image mode:</translation>
    </message>
    <message>
        <source>分辨率：</source>
        <translation>Resolution:</translation>
    </message>
    <message>
        <source>dpi</source>
        <translation>dpi</translation>
    </message>
    <message>
        <source>纸张大小：</source>
        <translation>Paper size:</translation>
    </message>
    <message>
        <source>        自定义宽度：</source>
        <translation>        Custom width:</translation>
    </message>
    <message>
        <source>mm</source>
        <translation>mm</translation>
    </message>
    <message>
        <source>        自定义高度：</source>
        <translation>        Custom height:</translation>
    </message>
    <message>
        <source>自动大小：</source>
        <translation>Automatic size:</translation>
    </message>
    <message>
        <source>高级参数</source>
        <translation>Advanced</translation>
    </message>
    <message>
        <source>亮度(-127~127)：</source>
        <translation>Brightness (-127~127):</translation>
    </message>
    <message>
        <source>对比度(-127~127)：</source>
        <translation>Contrast (-127~127):</translation>
    </message>
    <message>
        <source>阈值(0~255)：</source>
        <translation>Threshold (0~255):</translation>
    </message>
    <message>
        <source>滤色：</source>
        <translation>Color dropout:</translation>
    </message>
    <message>
        <source>延时扫描：</source>
        <translation>Delayed scan:</translation>
    </message>
    <message>
        <source>        时间间隔(1~10)：</source>
        <translation>        Interval (1~10):</translation>
    </message>
</context>
<context>
    <name>SaveController</name>
    <message>
        <source>正在保存第%1个%2文件</source>
        <translation>Saving file %1 (%2)</translation>
    </message>
    <message>
        <source>第%1页图像文件不存在，无法读取</source>
        <translation>The image file of page %1 does not exist and cannot be read</translation>
    </message>
    <message>
        <source>第%1页图像文件已损坏，无法读取</source>
        <translation>The image file of page %1 is damaged and cannot be read</translation>
    </message>
    <message>
        <source>已有同名文件夹：%1</source>
        <translation>A folder with the same name exists: %1</translation>
    </message>
    <message>
        <source>保存文件夹不存在：%1</source>
        <translation>The save folder does not exist: %1</translation>
    </message>
    <message>
        <source>没有写入权限：%1</source>
        <translation>No write permission: %1</translation>
    </message>
    <message>
        <source>磁盘空间不足：%1</source>
        <translation>Not enough disk space: %1</translation>
    </message>
    <message>
        <source>文件超过系统允许的大小：%1</source>
        <translation>The file exceeds the size the system allows: %1</translation>
    </message>
    <message>
        <source>临时文件夹无法写入：%1</source>
        <translation>Cannot write to the temporary folder: %1</translation>
    </message>
    <message>
        <source>无法写入文件：%1</source>
        <translation>Cannot write the file: %1</translation>
    </message>
    <message>
        <source>已保存 %1（%2 页）</source>
        <translation>Saved %1 (%2 pages)</translation>
    </message>
    <message>
        <source>已保存 %1 至 %2（%3 页）</source>
        <translation>Saved %1 through %2 (%3 pages)</translation>
    </message>
    <message>
        <source>保存路径有重复文件，%1确定要覆盖吗？</source>
        <translation>Files with the same names already exist in the save folder.%1Overwrite them?</translation>
    </message>
    <message>
        <source>等 %1 个文件</source>
        <translation>(%1 files in all)</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>第%1页扫描未完成，请替换扫描或删除该页后再保存</source>
        <translation>Scanning of page %1 is incomplete. Please rescan it with Replace Scan or delete it before saving</translation>
    </message>
    <message>
        <source>保存失败</source>
        <translation>Saving failed</translation>
    </message>
    <message>
        <source>保存成功</source>
        <translation>Saved</translation>
    </message>
    <message>
        <source>已写入 %1 个文件到 %2</source>
        <translation>Wrote %1 files to %2</translation>
    </message>
    <message>
        <source>打开文件夹</source>
        <translation>Open Folder</translation>
    </message>
    <message>
        <source>保存位置：%1</source>
        <translation>Saved to: %1</translation>
    </message>
</context>
<context>
    <name>ScanController</name>
    <message>
        <source>临时文件夹空间已满：%1</source>
        <translation>The temporary folder is full: %1</translation>
    </message>
    <message>
        <source>临时文件夹无法写入：%1</source>
        <translation>Cannot write to the temporary folder: %1</translation>
    </message>
</context>
<context>
    <name>ScanvyMessageBox</name>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>ShortcutsDialog</name>
    <message>
        <source>扫描到最后</source>
        <translation>Scan to End</translation>
    </message>
    <message>
        <source>扫描到之前</source>
        <translation>Scan Before Current</translation>
    </message>
    <message>
        <source>扫描到之后</source>
        <translation>Scan After Current</translation>
    </message>
    <message>
        <source>替换扫描</source>
        <translation>Replace Scan</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>另存为…：选择文件名、文件夹和格式保存全部图像（不使用计数器）</source>
        <translation>Save As…: save every page under a chosen file name, folder and format (the counter is not used)</translation>
    </message>
    <message>
        <source>全选</source>
        <translation>Select All</translation>
    </message>
    <message>
        <source>反选</source>
        <translation>Invert Selection</translation>
    </message>
    <message>
        <source>上移：选中的图像向前移一位</source>
        <translation>Move Up: the selected pages move one place forward</translation>
    </message>
    <message>
        <source>下移：选中的图像向后移一位</source>
        <translation>Move Down: the selected pages move one place back</translation>
    </message>
    <message>
        <source>删除选中的图像</source>
        <translation>Delete the selected pages</translation>
    </message>
    <message>
        <source>放大 / 缩小</source>
        <translation>Zoom In / Zoom Out</translation>
    </message>
    <message>
        <source>首页 / 尾页</source>
        <translation>First Page / Last Page</translation>
    </message>
    <message>
        <source>上一页 / 下一页</source>
        <translation>Previous Page / Next Page</translation>
    </message>
    <message>
        <source>跳到页码框：输入页码后按 Enter</source>
        <translation>Go to the page box: type a page number and press Enter</translation>
    </message>
    <message>
        <source>图像显示</source>
        <translation>Image View</translation>
    </message>
    <message>
        <source>扫描配置</source>
        <translation>Scan Settings</translation>
    </message>
    <message>
        <source>系统配置</source>
        <translation>System Settings</translation>
    </message>
    <message>
        <source>使用说明</source>
        <translation>Manual</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>快捷键</source>
        <translation>Keyboard Shortcuts</translation>
    </message>
    <message>
        <source>按键</source>
        <translation>Keys</translation>
    </message>
    <message>
        <source>操作</source>
        <translation>Action</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>撤销：取消上一步对图像列表的更改</source>
        <translation>Undo: take back the last change to the image list</translation>
    </message>
    <message>
        <source>重做：恢复刚撤销的更改</source>
        <translation>Redo: make the change just undone again</translation>
    </message>
    <message>
        <source>复制文字：选中图像识别出的文字（缩略图列中也可按 Ctrl+C）</source>
        <translation>Copy Text: the recognised text of the selected pages (Ctrl+C also works in the thumbnail column)</translation>
    </message>
</context>
<context>
    <name>SplashDialog</name>
    <message>
        <source>泽科维扫描软件</source>
        <translation>Zekewei Scan</translation>
    </message>
</context>
<context>
    <name>ThumbnailItemDelegate</name>
    <message>
        <source>文</source>
        <translation>T</translation>
    </message>
</context>
<context>
    <name>WyScannerOptionsWidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>基本参数</source>
        <translation>Basic</translation>
    </message>
    <message>
        <source>纸张来源：</source>
        <translation>Paper source:</translation>
    </message>
    <message>
        <source>图像模式：</source>
        <translation>Image mode:</translation>
    </message>
    <message>
        <source>多流输出模式：</source>
        <translation>Multi-image output mode:</translation>
    </message>
    <message>
        <source>分辨率(50~600)：</source>
        <translation>Resolution (50~600):</translation>
    </message>
    <message>
        <source>dpi</source>
        <translation>dpi</translation>
    </message>
    <message>
        <source>纸张大小：</source>
        <translation>Paper size:</translation>
    </message>
    <message>
        <source>        自定义宽度：</source>
        <translation>        Custom width:</translation>
    </message>
    <message>
        <source>mm</source>
        <translation>mm</translation>
    </message>
    <message>
        <source>        自定义高度：</source>
        <translation>        Custom height:</translation>
    </message>
    <message>
        <source>                     长页：</source>
        <translation>                     Long page:</translation>
    </message>
    <message>
        <source>自动大小：</source>
        <translation>Automatic size:</translation>
    </message>
    <message>
        <source>多页进纸检测：</source>
        <translation>Multifeed detection:</translation>
    </message>
    <message>
        <source>检测空白页：</source>
        <translation>Detect blank pages:</translation>
    </message>
    <message>
        <source>        灵敏度(1~5)：</source>
        <translation>        Sensitivity (1~5):</translation>
    </message>
    <message>
        <source>高级参数</source>
        <translation>Advanced</translation>
    </message>
    <message>
        <source>色调调节：</source>
        <translation>Tone adjustment:</translation>
    </message>
    <message>
        <source>亮度(-127~127)：</source>
        <translation>Brightness (-127~127):</translation>
    </message>
    <message>
        <source>对比度(-127~127)：</source>
        <translation>Contrast (-127~127):</translation>
    </message>
    <message>
        <source>阴影(0~254)：</source>
        <translation>Shadow (0~254):</translation>
    </message>
    <message>
        <source>高光(1~255)：</source>
        <translation>Highlight (1~255):</translation>
    </message>
    <message>
        <source>伽马(0.1~10)：</source>
        <translation>Gamma (0.1~10):</translation>
    </message>
    <message>
        <source>黑白方法：</source>
        <translation>Black-and-white method:</translation>
    </message>
    <message>
        <source>        灵敏度(-50~50)：</source>
        <translation>        Sensitivity (-50~50):</translation>
    </message>
    <message>
        <source>        背景阈值(-50~50)：</source>
        <translation>        Background threshold (-50~50):</translation>
    </message>
    <message>
        <source>        SDTC模式：</source>
        <translation>        SDTC mode:</translation>
    </message>
    <message>
        <source>        阈值(0~255)：</source>
        <translation>        Threshold (0~255):</translation>
    </message>
    <message>
        <source>边缘裁剪：</source>
        <translation>Edge cropping:</translation>
    </message>
    <message>
        <source>滤色：</source>
        <translation>Color dropout:</translation>
    </message>
    <message>
        <source>清晰度：</source>
        <translation>Sharpness:</translation>
    </message>
    <message>
        <source>扩展参数</source>
        <translation>Extended</translation>
    </message>
    <message>
        <source>图像旋转：</source>
        <translation>Image rotation:</translation>
    </message>
    <message>
        <source>度</source>
        <translation>degrees</translation>
    </message>
    <message>
        <source>上下分割：</source>
        <translation>Split top and bottom:</translation>
    </message>
    <message>
        <source>正反面合并：</source>
        <translation>Merge front and back:</translation>
    </message>
    <message>
        <source>        反面位置：</source>
        <translation>        Back side position:</translation>
    </message>
    <message>
        <source>        反面旋转：</source>
        <translation>        Back side rotation:</translation>
    </message>
    <message>
        <source>清除颜色：</source>
        <translation>Color removal:</translation>
    </message>
    <message>
        <source>        灵敏度(-5~5)：</source>
        <translation>        Sensitivity (-5~5):</translation>
    </message>
</context>
</TS>
