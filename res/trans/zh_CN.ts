<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>AboutDialog</name>
    <message>
        <source>关于</source>
        <translation>关于</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>泽科维扫描软件 版本：%1</source>
        <translation>泽科维扫描软件 版本：%1</translation>
    </message>
</context>
<context>
    <name>GenericScannerOptionsWidget</name>
    <message>
        <source>最大</source>
        <translation>最大</translation>
    </message>
    <message>
        <source>自定义</source>
        <translation>自定义</translation>
    </message>
    <message>
        <source>高级</source>
        <translation>高级</translation>
    </message>
    <message>
        <source>纸张大小:</source>
        <translation>纸张大小:</translation>
    </message>
</context>
<context>
    <name>HelpWindow</name>
    <message>
        <source>使用说明</source>
        <translation>使用说明</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>关闭</translation>
    </message>
</context>
<context>
    <name>ImageViewWidget</name>
    <message>
        <source>扫描到之后</source>
        <translation>扫描到之后</translation>
    </message>
    <message>
        <source>扫描到之前</source>
        <translation>扫描到之前</translation>
    </message>
    <message>
        <source>替换扫描</source>
        <translation>替换扫描</translation>
    </message>
    <message>
        <source>未完成</source>
        <translation>未完成</translation>
    </message>
</context>
<context>
    <name>JobRunner</name>
    <message>
        <source>正在进行处理</source>
        <translation>正在进行处理</translation>
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
        <translation>基本参数</translation>
    </message>
    <message>
        <source>纸张来源：</source>
        <translation>纸张来源：</translation>
    </message>
    <message>
        <source>图像模式：</source>
        <translation>图像模式：</translation>
    </message>
    <message>
        <source>多流输出模式：</source>
        <translation>多流输出模式：</translation>
    </message>
    <message>
        <source>分辨率(50~600)：</source>
        <translation>分辨率(50~600)：</translation>
    </message>
    <message>
        <source>dpi</source>
        <translation>dpi</translation>
    </message>
    <message>
        <source>纸张大小：</source>
        <translation>纸张大小：</translation>
    </message>
    <message>
        <source>        自定义宽度：</source>
        <translation>        自定义宽度：</translation>
    </message>
    <message>
        <source>mm</source>
        <translation>mm</translation>
    </message>
    <message>
        <source>        自定义高度：</source>
        <translation>        自定义高度：</translation>
    </message>
    <message>
        <source>自动大小：</source>
        <translation>自动大小：</translation>
    </message>
    <message>
        <source>多页进纸检测：</source>
        <translation>多页进纸检测：</translation>
    </message>
    <message>
        <source>检测空白页：</source>
        <translation>检测空白页：</translation>
    </message>
    <message>
        <source>        灵敏度(1~5)：</source>
        <translation>        灵敏度(1~5)：</translation>
    </message>
    <message>
        <source>高级参数</source>
        <translation>高级参数</translation>
    </message>
    <message>
        <source>色调调节：</source>
        <translation>色调调节：</translation>
    </message>
    <message>
        <source>亮度(-127~127)：</source>
        <translation>亮度(-127~127)：</translation>
    </message>
    <message>
        <source>对比度(-127~127)：</source>
        <translation>对比度(-127~127)：</translation>
    </message>
    <message>
        <source>阴影(0~254)：</source>
        <translation>阴影(0~254)：</translation>
    </message>
    <message>
        <source>高光(1~255)：</source>
        <translation>高光(1~255)：</translation>
    </message>
    <message>
        <source>伽马(0.1~10)：</source>
        <translation>伽马(0.1~10)：</translation>
    </message>
    <message>
        <source>黑白方法：</source>
        <translation>黑白方法：</translation>
    </message>
    <message>
        <source>        灵敏度(-50~50)：</source>
        <translation>        灵敏度(-50~50)：</translation>
    </message>
    <message>
        <source>        背景阈值(-50~50)：</source>
        <translation>        背景阈值(-50~50)：</translation>
    </message>
    <message>
        <source>        SDTC模式：</source>
        <translation>        SDTC模式：</translation>
    </message>
    <message>
        <source>        阈值(0~255)：</source>
        <translation>        阈值(0~255)：</translation>
    </message>
    <message>
        <source>边缘裁剪：</source>
        <translation>边缘裁剪：</translation>
    </message>
    <message>
        <source>Jpeg压缩：</source>
        <translation>Jpeg压缩：</translation>
    </message>
    <message>
        <source>背景色：</source>
        <translation>背景色：</translation>
    </message>
    <message>
        <source>滤色：</source>
        <translation>滤色：</translation>
    </message>
    <message>
        <source>清晰度：</source>
        <translation>清晰度：</translation>
    </message>
    <message>
        <source>扩展参数</source>
        <translation>扩展参数</translation>
    </message>
    <message>
        <source>图像旋转：</source>
        <translation>图像旋转：</translation>
    </message>
    <message>
        <source>度</source>
        <translation>度</translation>
    </message>
    <message>
        <source>页边修复：</source>
        <translation>页边修复：</translation>
    </message>
    <message>
        <source>自动大小-优先度：</source>
        <translation>自动大小-优先度：</translation>
    </message>
    <message>
        <source>移除装订孔：</source>
        <translation>移除装订孔：</translation>
    </message>
    <message>
        <source>        颜色填充：</source>
        <translation>        颜色填充：</translation>
    </message>
    <message>
        <source>        模式：</source>
        <translation>        模式：</translation>
    </message>
    <message>
        <source>上下分割：</source>
        <translation>上下分割：</translation>
    </message>
    <message>
        <source>正反面合并：</source>
        <translation>正反面合并：</translation>
    </message>
    <message>
        <source>        反面位置：</source>
        <translation>        反面位置：</translation>
    </message>
    <message>
        <source>        反面旋转：</source>
        <translation>        反面旋转：</translation>
    </message>
    <message>
        <source>清除颜色：</source>
        <translation>清除颜色：</translation>
    </message>
    <message>
        <source>        灵敏度(-5~5)：</source>
        <translation>        灵敏度(-5~5)：</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>泽科维扫描软件</source>
        <translation>泽科维扫描软件</translation>
    </message>
    <message>
        <source>返回图像显示</source>
        <translation>返回图像显示</translation>
    </message>
    <message>
        <source>图像保存路径：  </source>
        <translation>图像保存路径：  </translation>
    </message>
    <message>
        <source>选择...</source>
        <translation>选择...</translation>
    </message>
    <message>
        <source>文件名前缀：   </source>
        <translation>文件名前缀：   </translation>
    </message>
    <message>
        <source>计数器：   </source>
        <translation>计数器：   </translation>
    </message>
    <message>
        <source>最小位数:</source>
        <translation>最小位数:</translation>
    </message>
    <message>
        <source>图像格式：</source>
        <translation>图像格式：</translation>
    </message>
    <message>
        <source>扫描完立即保存:</source>
        <translation>扫描完立即保存:</translation>
    </message>
    <message>
        <source>软件语言：</source>
        <translation>软件语言：</translation>
    </message>
    <message>
        <source>显示所有SANE扫描仪</source>
        <translation>显示所有SANE扫描仪</translation>
    </message>
    <message>
        <source>文件(&amp;F)</source>
        <translation>文件(&amp;F)</translation>
    </message>
    <message>
        <source>扫描(&amp;S)</source>
        <translation>扫描(&amp;S)</translation>
    </message>
    <message>
        <source>编辑(&amp;E)</source>
        <translation>编辑(&amp;E)</translation>
    </message>
    <message>
        <source>查看(&amp;V)</source>
        <translation>查看(&amp;V)</translation>
    </message>
    <message>
        <source>视图(&amp;W)</source>
        <translation>视图(&amp;W)</translation>
    </message>
    <message>
        <source>帮助(&amp;H)</source>
        <translation>帮助(&amp;H)</translation>
    </message>
    <message>
        <source>扫描到最后</source>
        <translation>扫描到最后</translation>
    </message>
    <message>
        <source>扫描到之前</source>
        <translation>扫描到之前</translation>
    </message>
    <message>
        <source>扫描到之后</source>
        <translation>扫描到之后</translation>
    </message>
    <message>
        <source>替换扫描</source>
        <translation>替换扫描</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>退出</translation>
    </message>
    <message>
        <source>手动通过</source>
        <translation>手动通过</translation>
    </message>
    <message>
        <source>逆时针90°</source>
        <translation>逆时针90°</translation>
    </message>
    <message>
        <source>旋转180°</source>
        <translation>旋转180°</translation>
    </message>
    <message>
        <source>顺时针90°</source>
        <translation>顺时针90°</translation>
    </message>
    <message>
        <source>全选</source>
        <translation>全选</translation>
    </message>
    <message>
        <source>反选</source>
        <translation>反选</translation>
    </message>
    <message>
        <source>上移</source>
        <translation>上移</translation>
    </message>
    <message>
        <source>下移</source>
        <translation>下移</translation>
    </message>
    <message>
        <source>清除全部</source>
        <translation>清除全部</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>放大</source>
        <translation>放大</translation>
    </message>
    <message>
        <source>缩小</source>
        <translation>缩小</translation>
    </message>
    <message>
        <source>自适应</source>
        <translation>自适应</translation>
    </message>
    <message>
        <source>实际大小</source>
        <translation>实际大小</translation>
    </message>
    <message>
        <source>首页</source>
        <translation>首页</translation>
    </message>
    <message>
        <source>上一页 ↑</source>
        <translation>上一页 ↑</translation>
    </message>
    <message>
        <source>下一页 ↓</source>
        <translation>下一页 ↓</translation>
    </message>
    <message>
        <source>尾页</source>
        <translation>尾页</translation>
    </message>
    <message>
        <source>图像显示</source>
        <translation>图像显示</translation>
    </message>
    <message>
        <source>扫描配置</source>
        <translation>扫描配置</translation>
    </message>
    <message>
        <source>系统配置</source>
        <translation>系统配置</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>关于</translation>
    </message>
    <message>
        <source>跳转</source>
        <translation>跳转</translation>
    </message>
    <message>
        <source>当前图像数量：%1</source>
        <translation>当前图像数量：%1</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>扫描图像未保存，确定要退出吗？</source>
        <translation>扫描图像未保存，确定要退出吗？</translation>
    </message>
    <message>
        <source>扫描配置已修改，是否要保存？</source>
        <translation>扫描配置已修改，是否要保存？</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>保存失败</source>
        <translation>保存失败</translation>
    </message>
    <message>
        <source>扫描配置已保存</source>
        <translation>扫描配置已保存</translation>
    </message>
    <message>
        <source>未连接扫描仪</source>
        <translation>未连接扫描仪</translation>
    </message>
    <message>
        <source>当前连接扫描仪：%1</source>
        <translation>当前连接扫描仪：%1</translation>
    </message>
    <message>
        <source>未找到扫描仪</source>
        <translation>未找到扫描仪</translation>
    </message>
    <message>
        <source>未安装驱动</source>
        <translation>未安装驱动</translation>
    </message>
    <message>
        <source>打开扫描仪失败:%1</source>
        <translation>打开扫描仪失败:%1</translation>
    </message>
    <message>
        <source>检测到插入扫描设备%1正在进行配置...</source>
        <translation>检测到插入扫描设备%1正在进行配置...</translation>
    </message>
    <message>
        <source>检测到拔出扫描设备%1正在进行配置...</source>
        <translation>检测到拔出扫描设备%1正在进行配置...</translation>
    </message>
    <message>
        <source>检测到扫描设备的变动%1正在进行配置...</source>
        <translation>检测到扫描设备的变动%1正在进行配置...</translation>
    </message>
    <message>
        <source>检测扫描仪操作已完成%1[本窗口自动关闭]</source>
        <translation>检测扫描仪操作已完成%1[本窗口自动关闭]</translation>
    </message>
    <message>
        <source>已断开：%1</source>
        <translation>已断开：%1</translation>
    </message>
    <message>
        <source>当前连接：%1</source>
        <translation>当前连接：%1</translation>
    </message>
    <message>
        <source>正在切换扫描仪...</source>
        <translation>正在切换扫描仪...</translation>
    </message>
    <message>
        <source>切换扫描仪失败:%1</source>
        <translation>切换扫描仪失败:%1</translation>
    </message>
    <message>
        <source>切换扫描仪已完成%1[本窗口自动关闭]</source>
        <translation>切换扫描仪已完成%1[本窗口自动关闭]</translation>
    </message>
    <message>
        <source>正在获取默认参数...</source>
        <translation>正在获取默认参数...</translation>
    </message>
    <message>
        <source>获取默认参数失败:%1%2</source>
        <translation>获取默认参数失败:%1%2</translation>
    </message>
    <message>
        <source>正在设置扫描参数...</source>
        <translation>正在设置扫描参数...</translation>
    </message>
    <message>
        <source>设置扫描参数失败:%1</source>
        <translation>设置扫描参数失败:%1</translation>
    </message>
    <message>
        <source>正在进行保存...</source>
        <translation>正在进行保存...</translation>
    </message>
    <message>
        <source>正在进行扫描...</source>
        <translation>正在进行扫描...</translation>
    </message>
    <message>
        <source>正在停止扫描...</source>
        <translation>正在停止扫描...</translation>
    </message>
    <message>
        <source>正在进行扫描...%1当前第%2张图像</source>
        <translation>正在进行扫描...%1当前第%2张图像</translation>
    </message>
    <message>
        <source>发现上次未保存的 %1 张图像，是否恢复？</source>
        <translation>发现上次未保存的 %1 张图像，是否恢复？</translation>
    </message>
    <message>
        <source>正常</source>
        <translation>正常</translation>
    </message>
    <message>
        <source>设置了不正确的选项(错误码:1)</source>
        <translation>设置了不正确的选项(错误码:1)</translation>
    </message>
    <message>
        <source>操作被取消(错误码:2)</source>
        <translation>操作被取消(错误码:2)</translation>
    </message>
    <message>
        <source>设备忙碌(错误码:3)%1请检查扫描仪是否被占用</source>
        <translation>设备忙碌(错误码:3)%1请检查扫描仪是否被占用</translation>
    </message>
    <message>
        <source>数据不合法(或找不到设备)(错误码:4)</source>
        <translation>数据不合法(或找不到设备)(错误码:4)</translation>
    </message>
    <message>
        <source>没有更多可用数据(已到达文件尾部)(错误码:5)</source>
        <translation>没有更多可用数据(已到达文件尾部)(错误码:5)</translation>
    </message>
    <message>
        <source>检测到多页进纸(错误码:6)%1请取出堵塞的纸张</source>
        <translation>检测到多页进纸(错误码:6)%1请取出堵塞的纸张</translation>
    </message>
    <message>
        <source>检测到卡纸(错误码:6)%1请取出堵塞的纸张</source>
        <translation>检测到卡纸(错误码:6)%1请取出堵塞的纸张</translation>
    </message>
    <message>
        <source>进纸器没有纸张(错误码:7)%1请放入纸张</source>
        <translation>进纸器没有纸张(错误码:7)%1请放入纸张</translation>
    </message>
    <message>
        <source>进纸器被打开(错误码:8)%1请关闭进纸器</source>
        <translation>进纸器被打开(错误码:8)%1请关闭进纸器</translation>
    </message>
    <message>
        <source>设备在输入/输出过程中出现错误(错误码:9)%1请打开进纸器并清洁传感器%1或确认运输锁开关已解锁%1或重启扫描仪</source>
        <translation>设备在输入/输出过程中出现错误(错误码:9)%1请打开进纸器并清洁传感器%1或确认运输锁开关已解锁%1或重启扫描仪</translation>
    </message>
    <message>
        <source>扫描过程中内存不足(错误码:10)</source>
        <translation>扫描过程中内存不足(错误码:10)</translation>
    </message>
    <message>
        <source>无法读写文件(错误码:11)%1请确认文件保存路径有读写权限</source>
        <translation>无法读写文件(错误码:11)%1请确认文件保存路径有读写权限</translation>
    </message>
    <message>
        <source>未知错误</source>
        <translation>未知错误</translation>
    </message>
    <message>
        <source>TIFF</source>
        <translation>TIFF</translation>
    </message>
    <message>
        <source>多页TIFF</source>
        <translation>多页TIFF</translation>
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
        <translation>单页PDF</translation>
    </message>
    <message>
        <source>PDF</source>
        <translation>PDF</translation>
    </message>
    <message>
        <source>单页OFD</source>
        <translation>单页OFD</translation>
    </message>
    <message>
        <source>OFD</source>
        <translation>OFD</translation>
    </message>
    <message>
        <source>文件名前缀包含非法字符，只能包含:[A-Z a-z 0-9 _ -]五种字符和常用汉字</source>
        <translation>文件名前缀包含非法字符，只能包含:[A-Z a-z 0-9 _ -]五种字符和常用汉字</translation>
    </message>
    <message>
        <source>文件名前缀过长，加上计数器和扩展名后超出文件名的长度限制(255字节)</source>
        <translation>文件名前缀过长，加上计数器和扩展名后超出文件名的长度限制(255字节)</translation>
    </message>
    <message>
        <source>计数器必须大于等于1且小于20000000</source>
        <translation>计数器必须大于等于1且小于20000000</translation>
    </message>
    <message>
        <source>选择文件夹</source>
        <translation>选择文件夹</translation>
    </message>
    <message>
        <source>路径无读写权限</source>
        <translation>路径无读写权限</translation>
    </message>
    <message>
        <source>未找到本公司扫描仪，是否使用其他SANE扫描仪？</source>
        <translation>未找到本公司扫描仪，是否使用其他SANE扫描仪？</translation>
    </message>
    <message>
        <source>磁盘空间不足</source>
        <translation>磁盘空间不足</translation>
    </message>
    <message>
        <source>工作文件夹已不存在</source>
        <translation>工作文件夹已不存在</translation>
    </message>
    <message>
        <source>工作文件夹不可写</source>
        <translation>工作文件夹不可写</translation>
    </message>
    <message>
        <source>写入出错</source>
        <translation>写入出错</translation>
    </message>
    <message>
        <source>恢复记录已恢复正常保存</source>
        <translation>恢复记录已恢复正常保存</translation>
    </message>
    <message>
        <source>发现上次未保存的 %1 张图像（其中 %2 张已损坏），是否恢复？</source>
        <translation>发现上次未保存的 %1 张图像（其中 %2 张已损坏），是否恢复？</translation>
    </message>
    <message>
        <source>另存为…</source>
        <translation>另存为…</translation>
    </message>
    <message>
        <source>使用说明</source>
        <translation>使用说明</translation>
    </message>
    <message>
        <source>快捷键</source>
        <translation>快捷键</translation>
    </message>
    <message>
        <source>扫描到之前 %1 张图像</source>
        <comment>one page</comment>
        <translation>扫描到之前 %1 张图像</translation>
    </message>
    <message>
        <source>扫描到之前 %1 张图像</source>
        <comment>several pages</comment>
        <translation>扫描到之前 %1 张图像</translation>
    </message>
    <message>
        <source>扫描到之后 %1 张图像</source>
        <comment>one page</comment>
        <translation>扫描到之后 %1 张图像</translation>
    </message>
    <message>
        <source>扫描到之后 %1 张图像</source>
        <comment>several pages</comment>
        <translation>扫描到之后 %1 张图像</translation>
    </message>
    <message>
        <source>替换扫描 %1 张图像</source>
        <comment>one page</comment>
        <translation>替换扫描 %1 张图像</translation>
    </message>
    <message>
        <source>替换扫描 %1 张图像</source>
        <comment>several pages</comment>
        <translation>替换扫描 %1 张图像</translation>
    </message>
    <message>
        <source>扫描到最后 %1 张图像</source>
        <comment>one page</comment>
        <translation>扫描到最后 %1 张图像</translation>
    </message>
    <message>
        <source>扫描到最后 %1 张图像</source>
        <comment>several pages</comment>
        <translation>扫描到最后 %1 张图像</translation>
    </message>
    <message>
        <source>恢复 %1 张图像</source>
        <comment>one page</comment>
        <translation>恢复 %1 张图像</translation>
    </message>
    <message>
        <source>恢复 %1 张图像</source>
        <comment>several pages</comment>
        <translation>恢复 %1 张图像</translation>
    </message>
    <message>
        <source>文字识别：</source>
        <translation>文字识别：</translation>
    </message>
    <message>
        <source>复制文字</source>
        <translation>复制文字</translation>
    </message>
    <message>
        <source>文字识别：%1/%2</source>
        <translation>文字识别：%1/%2</translation>
    </message>
    <message>
        <source>正在识别文字… %1/%2</source>
        <translation>正在识别文字… %1/%2</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>不识别</source>
        <translation>不识别</translation>
    </message>
    <message>
        <source>简体中文+英文</source>
        <translation>简体中文+英文</translation>
    </message>
    <message>
        <source>繁體中文+英文</source>
        <translation>繁體中文+英文</translation>
    </message>
    <message>
        <source>英文</source>
        <translation>英文</translation>
    </message>
    <message>
        <source>选中的图像没有识别出的文字</source>
        <translation>选中的图像没有识别出的文字</translation>
    </message>
    <message>
        <source>已复制 %1 页的文字</source>
        <comment>one page</comment>
        <translation>已复制 %1 页的文字</translation>
    </message>
    <message>
        <source>已复制 %1 页的文字</source>
        <comment>several pages</comment>
        <translation>已复制 %1 页的文字</translation>
    </message>
    <message>
        <source>扫描文档</source>
        <translation>扫描文档</translation>
    </message>
    <message>
        <source>%1（新内容在隐藏文件 %2 中）</source>
        <translation>%1（新内容在隐藏文件 %2 中）</translation>
    </message>
    <message>
        <source>上次中断的保存未能完成以下文件：同名文件已被替换，现有文件保持不变。</source>
        <translation>上次中断的保存未能完成以下文件：同名文件已被替换，现有文件保持不变。</translation>
    </message>
    <message>
        <source>平板没有扫描到图像(错误码:7)%1请将文稿放好后重新扫描</source>
        <translation>平板没有扫描到图像(错误码:7)%1请将文稿放好后重新扫描</translation>
    </message>
    <message>
        <source>无法保存恢复记录：%1，最近的更改尚未保留（程序意外退出时将丢失）</source>
        <translation>无法保存恢复记录：%1，最近的更改尚未保留（程序意外退出时将丢失）</translation>
    </message>
</context>
<context>
    <name>MaskerDialog</name>
    <message>
        <source>停止扫描</source>
        <translation>停止扫描</translation>
    </message>
</context>
<context>
    <name>OcrEngine</name>
    <message>
        <source>未安装文字识别数据：%1</source>
        <translation>未安装文字识别数据：%1</translation>
    </message>
    <message>
        <source>文字识别数据无法加载：%1</source>
        <translation>文字识别数据无法加载：%1</translation>
    </message>
    <message>
        <source>未选择文字识别语言</source>
        <translation>未选择文字识别语言</translation>
    </message>
    <message>
        <source>无法读取页面文件：%1</source>
        <translation>无法读取页面文件：%1</translation>
    </message>
    <message>
        <source>内存不足，无法识别页面：%1</source>
        <translation>内存不足，无法识别页面：%1</translation>
    </message>
    <message>
        <source>文字识别失败：%1</source>
        <translation>文字识别失败：%1</translation>
    </message>
</context>
<context>
    <name>OcrQueue</name>
    <message>
        <source>文字识别已取消</source>
        <translation>文字识别已取消</translation>
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
        <translation>扫描仪：</translation>
    </message>
    <message>
        <source>恢复默认参数</source>
        <translation>恢复默认参数</translation>
    </message>
    <message>
        <source>该扫描仪没有可用的配置界面</source>
        <translation>该扫描仪没有可用的配置界面</translation>
    </message>
</context>
<context>
    <name>PageCommands</name>
    <message>
        <source>向右旋转 %1 张图像</source>
        <comment>one page</comment>
        <translation>向右旋转 %1 张图像</translation>
    </message>
    <message>
        <source>向右旋转 %1 张图像</source>
        <comment>several pages</comment>
        <translation>向右旋转 %1 张图像</translation>
    </message>
    <message>
        <source>向左旋转 %1 张图像</source>
        <comment>one page</comment>
        <translation>向左旋转 %1 张图像</translation>
    </message>
    <message>
        <source>向左旋转 %1 张图像</source>
        <comment>several pages</comment>
        <translation>向左旋转 %1 张图像</translation>
    </message>
    <message>
        <source>旋转180° %1 张图像</source>
        <comment>one page</comment>
        <translation>旋转180° %1 张图像</translation>
    </message>
    <message>
        <source>旋转180° %1 张图像</source>
        <comment>several pages</comment>
        <translation>旋转180° %1 张图像</translation>
    </message>
    <message>
        <source>撤销%1</source>
        <translation>撤销%1</translation>
    </message>
    <message>
        <source>撤销</source>
        <translation>撤销</translation>
    </message>
    <message>
        <source>重做%1</source>
        <translation>重做%1</translation>
    </message>
    <message>
        <source>重做</source>
        <translation>重做</translation>
    </message>
    <message>
        <source>是否删除选中的 %1 张图像？</source>
        <comment>one page</comment>
        <translation>是否删除选中的 %1 张图像？</translation>
    </message>
    <message>
        <source>是否删除选中的 %1 张图像？</source>
        <comment>several pages</comment>
        <translation>是否删除选中的 %1 张图像？</translation>
    </message>
    <message>
        <source>删除 %1 张图像</source>
        <comment>one page</comment>
        <translation>删除 %1 张图像</translation>
    </message>
    <message>
        <source>删除 %1 张图像</source>
        <comment>several pages</comment>
        <translation>删除 %1 张图像</translation>
    </message>
    <message>
        <source>是否清除全部 %1 张图像？</source>
        <comment>one page</comment>
        <translation>是否清除全部 %1 张图像？</translation>
    </message>
    <message>
        <source>是否清除全部 %1 张图像？</source>
        <comment>several pages</comment>
        <translation>是否清除全部 %1 张图像？</translation>
    </message>
    <message>
        <source>清除全部 %1 张图像</source>
        <comment>one page</comment>
        <translation>清除全部 %1 张图像</translation>
    </message>
    <message>
        <source>清除全部 %1 张图像</source>
        <comment>several pages</comment>
        <translation>清除全部 %1 张图像</translation>
    </message>
    <message>
        <source>移动 %1 张图像</source>
        <comment>one page</comment>
        <translation>移动 %1 张图像</translation>
    </message>
    <message>
        <source>移动 %1 张图像</source>
        <comment>several pages</comment>
        <translation>移动 %1 张图像</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>错误</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>不能通过sudo方式运行泽科维扫描软件</source>
        <translation>不能通过sudo方式运行泽科维扫描软件</translation>
    </message>
    <message>
        <source>泽科维扫描软件正在运行</source>
        <translation>泽科维扫描软件正在运行</translation>
    </message>
    <message>
        <source>自定义</source>
        <translation>自定义</translation>
    </message>
    <message>
        <source>平板</source>
        <translation>平板</translation>
    </message>
    <message>
        <source>进纸器(正面)</source>
        <translation>进纸器(正面)</translation>
    </message>
    <message>
        <source>进纸器(背面)</source>
        <translation>进纸器(背面)</translation>
    </message>
    <message>
        <source>进纸器(双面)</source>
        <translation>进纸器(双面)</translation>
    </message>
    <message>
        <source>黑白</source>
        <translation>黑白</translation>
    </message>
    <message>
        <source>灰度</source>
        <translation>灰度</translation>
    </message>
    <message>
        <source>彩色</source>
        <translation>彩色</translation>
    </message>
    <message>
        <source>自动检测颜色</source>
        <translation>自动检测颜色</translation>
    </message>
    <message>
        <source>多流输出</source>
        <translation>多流输出</translation>
    </message>
    <message>
        <source>彩色+黑白</source>
        <translation>彩色+黑白</translation>
    </message>
    <message>
        <source>灰度+黑白</source>
        <translation>灰度+黑白</translation>
    </message>
    <message>
        <source>Double-Letter纸</source>
        <translation>Double-Letter纸</translation>
    </message>
    <message>
        <source>Letter纸</source>
        <translation>Letter纸</translation>
    </message>
    <message>
        <source>Legal纸</source>
        <translation>Legal纸</translation>
    </message>
    <message>
        <source>Folio纸</source>
        <translation>Folio纸</translation>
    </message>
    <message>
        <source>Executive纸</source>
        <translation>Executive纸</translation>
    </message>
    <message>
        <source>明信片</source>
        <translation>明信片</translation>
    </message>
    <message>
        <source>名片</source>
        <translation>名片</translation>
    </message>
    <message>
        <source>速度</source>
        <translation>速度</translation>
    </message>
    <message>
        <source>准确度</source>
        <translation>准确度</translation>
    </message>
    <message>
        <source>常规</source>
        <translation>常规</translation>
    </message>
    <message>
        <source>自动尺寸</source>
        <translation>自动尺寸</translation>
    </message>
    <message>
        <source>过度扫描</source>
        <translation>过度扫描</translation>
    </message>
    <message>
        <source>黑色</source>
        <translation>黑色</translation>
    </message>
    <message>
        <source>白色</source>
        <translation>白色</translation>
    </message>
    <message>
        <source>动态阈值</source>
        <translation>动态阈值</translation>
    </message>
    <message>
        <source>SDTC 模式</source>
        <translation>SDTC 模式</translation>
    </message>
    <message>
        <source>静态阈值</source>
        <translation>静态阈值</translation>
    </message>
    <message>
        <source>误差扩散</source>
        <translation>误差扩散</translation>
    </message>
    <message>
        <source>不检测</source>
        <translation>不检测</translation>
    </message>
    <message>
        <source>检测</source>
        <translation>检测</translation>
    </message>
    <message>
        <source>背景色</source>
        <translation>背景色</translation>
    </message>
    <message>
        <source>高级</source>
        <translation>高级</translation>
    </message>
    <message>
        <source>红色</source>
        <translation>红色</translation>
    </message>
    <message>
        <source>绿色</source>
        <translation>绿色</translation>
    </message>
    <message>
        <source>蓝色</source>
        <translation>蓝色</translation>
    </message>
    <message>
        <source>无</source>
        <translation>无</translation>
    </message>
    <message>
        <source>平滑</source>
        <translation>平滑</translation>
    </message>
    <message>
        <source>强调轮廓 Level 1</source>
        <translation>强调轮廓 Level 1</translation>
    </message>
    <message>
        <source>强调轮廓 Level 2</source>
        <translation>强调轮廓 Level 2</translation>
    </message>
    <message>
        <source>强调轮廓 Level 3</source>
        <translation>强调轮廓 Level 3</translation>
    </message>
    <message>
        <source>消除网线 Level 1</source>
        <translation>消除网线 Level 1</translation>
    </message>
    <message>
        <source>消除网线 Level 2</source>
        <translation>消除网线 Level 2</translation>
    </message>
    <message>
        <source>消除网线 Level 3</source>
        <translation>消除网线 Level 3</translation>
    </message>
    <message>
        <source>消除网线 Level 4</source>
        <translation>消除网线 Level 4</translation>
    </message>
    <message>
        <source>低</source>
        <translation>低</translation>
    </message>
    <message>
        <source>中</source>
        <translation>中</translation>
    </message>
    <message>
        <source>高</source>
        <translation>高</translation>
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
        <translation>关闭</translation>
    </message>
    <message>
        <source>背书器(背面)</source>
        <translation>背书器(背面)</translation>
    </message>
    <message>
        <source>水平-标准</source>
        <translation>水平-标准</translation>
    </message>
    <message>
        <source>水平-粗体</source>
        <translation>水平-粗体</translation>
    </message>
    <message>
        <source>横排-瘦体</source>
        <translation>横排-瘦体</translation>
    </message>
    <message>
        <source>垂直-标准</source>
        <translation>垂直-标准</translation>
    </message>
    <message>
        <source>垂直-粗体</source>
        <translation>垂直-粗体</translation>
    </message>
    <message>
        <source>顶部到底部</source>
        <translation>顶部到底部</translation>
    </message>
    <message>
        <source>底部到顶部</source>
        <translation>底部到顶部</translation>
    </message>
    <message>
        <source>自动</source>
        <translation>自动</translation>
    </message>
    <message>
        <source>普通</source>
        <translation>普通</translation>
    </message>
    <message>
        <source>柔和</source>
        <translation>柔和</translation>
    </message>
    <message>
        <source>锐化</source>
        <translation>锐化</translation>
    </message>
    <message>
        <source>明亮</source>
        <translation>明亮</translation>
    </message>
    <message>
        <source>标准</source>
        <translation>标准</translation>
    </message>
    <message>
        <source>上</source>
        <translation>上</translation>
    </message>
    <message>
        <source>下</source>
        <translation>下</translation>
    </message>
    <message>
        <source>左</source>
        <translation>左</translation>
    </message>
    <message>
        <source>右</source>
        <translation>右</translation>
    </message>
    <message>
        <source>直接扫描</source>
        <translation>直接扫描</translation>
    </message>
    <message>
        <source>Double-letterL纸</source>
        <translation>Double-letterL纸</translation>
    </message>
    <message>
        <source>LetterL纸</source>
        <translation>LetterL纸</translation>
    </message>
    <message>
        <source>LegalL纸</source>
        <translation>LegalL纸</translation>
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
        <translation>基本参数</translation>
    </message>
    <message>
        <source>纸张来源：</source>
        <translation>纸张来源：</translation>
    </message>
    <message>
        <source>图像模式：</source>
        <translation>图像模式：</translation>
    </message>
    <message>
        <source>分辨率：</source>
        <translation>分辨率：</translation>
    </message>
    <message>
        <source>dpi</source>
        <translation>dpi</translation>
    </message>
    <message>
        <source>纸张大小：</source>
        <translation>纸张大小：</translation>
    </message>
    <message>
        <source>        自定义宽度：</source>
        <translation>        自定义宽度：</translation>
    </message>
    <message>
        <source>mm</source>
        <translation>mm</translation>
    </message>
    <message>
        <source>        自定义高度：</source>
        <translation>        自定义高度：</translation>
    </message>
    <message>
        <source>自动大小：</source>
        <translation>自动大小：</translation>
    </message>
    <message>
        <source>高级参数</source>
        <translation>高级参数</translation>
    </message>
    <message>
        <source>亮度(-127~127)：</source>
        <translation>亮度(-127~127)：</translation>
    </message>
    <message>
        <source>对比度(-127~127)：</source>
        <translation>对比度(-127~127)：</translation>
    </message>
    <message>
        <source>阈值(0~255)：</source>
        <translation>阈值(0~255)：</translation>
    </message>
    <message>
        <source>滤色：</source>
        <translation>滤色：</translation>
    </message>
    <message>
        <source>延时扫描：</source>
        <translation>延时扫描：</translation>
    </message>
    <message>
        <source>        时间间隔(1~10)：</source>
        <translation>        时间间隔(1~10)：</translation>
    </message>
</context>
<context>
    <name>SaveController</name>
    <message>
        <source>正在保存第%1个%2文件</source>
        <translation>正在保存第%1个%2文件</translation>
    </message>
    <message>
        <source>第%1页图像文件不存在，无法读取</source>
        <translation>第%1页图像文件不存在，无法读取</translation>
    </message>
    <message>
        <source>第%1页图像文件已损坏，无法读取</source>
        <translation>第%1页图像文件已损坏，无法读取</translation>
    </message>
    <message>
        <source>已有同名文件夹：%1</source>
        <translation>已有同名文件夹：%1</translation>
    </message>
    <message>
        <source>保存文件夹不存在：%1</source>
        <translation>保存文件夹不存在：%1</translation>
    </message>
    <message>
        <source>没有写入权限：%1</source>
        <translation>没有写入权限：%1</translation>
    </message>
    <message>
        <source>磁盘空间不足：%1</source>
        <translation>磁盘空间不足：%1</translation>
    </message>
    <message>
        <source>文件超过系统允许的大小：%1</source>
        <translation>文件超过系统允许的大小：%1</translation>
    </message>
    <message>
        <source>临时文件夹无法写入：%1</source>
        <translation>临时文件夹无法写入：%1</translation>
    </message>
    <message>
        <source>无法写入文件：%1</source>
        <translation>无法写入文件：%1</translation>
    </message>
    <message>
        <source>已保存 %1（%2 页）</source>
        <translation>已保存 %1（%2 页）</translation>
    </message>
    <message>
        <source>已保存 %1 至 %2（%3 页）</source>
        <translation>已保存 %1 至 %2（%3 页）</translation>
    </message>
    <message>
        <source>保存路径有重复文件，%1确定要覆盖吗？</source>
        <translation>保存路径有重复文件，%1确定要覆盖吗？</translation>
    </message>
    <message>
        <source>等 %1 个文件</source>
        <translation>等 %1 个文件</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>第%1页扫描未完成，请替换扫描或删除该页后再保存</source>
        <translation>第%1页扫描未完成，请替换扫描或删除该页后再保存</translation>
    </message>
    <message>
        <source>保存失败</source>
        <translation>保存失败</translation>
    </message>
    <message>
        <source>保存成功</source>
        <translation>保存成功</translation>
    </message>
    <message>
        <source>已写入 %1 个文件到 %2</source>
        <translation>已写入 %1 个文件到 %2</translation>
    </message>
    <message>
        <source>打开文件夹</source>
        <translation>打开文件夹</translation>
    </message>
    <message>
        <source>保存位置：%1</source>
        <translation>保存位置：%1</translation>
    </message>
</context>
<context>
    <name>ScanController</name>
    <message>
        <source>临时文件夹空间已满：%1</source>
        <translation>临时文件夹空间已满：%1</translation>
    </message>
    <message>
        <source>临时文件夹无法写入：%1</source>
        <translation>临时文件夹无法写入：%1</translation>
    </message>
</context>
<context>
    <name>ScanvyMessageBox</name>
    <message>
        <source>确定</source>
        <translation>确定</translation>
    </message>
</context>
<context>
    <name>ShortcutsDialog</name>
    <message>
        <source>扫描到最后</source>
        <translation>扫描到最后</translation>
    </message>
    <message>
        <source>扫描到之前</source>
        <translation>扫描到之前</translation>
    </message>
    <message>
        <source>扫描到之后</source>
        <translation>扫描到之后</translation>
    </message>
    <message>
        <source>替换扫描</source>
        <translation>替换扫描</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>另存为…：选择文件名、文件夹和格式保存全部图像（不使用计数器）</source>
        <translation>另存为…：选择文件名、文件夹和格式保存全部图像（不使用计数器）</translation>
    </message>
    <message>
        <source>全选</source>
        <translation>全选</translation>
    </message>
    <message>
        <source>反选</source>
        <translation>反选</translation>
    </message>
    <message>
        <source>上移：选中的图像向前移一位</source>
        <translation>上移：选中的图像向前移一位</translation>
    </message>
    <message>
        <source>下移：选中的图像向后移一位</source>
        <translation>下移：选中的图像向后移一位</translation>
    </message>
    <message>
        <source>删除选中的图像</source>
        <translation>删除选中的图像</translation>
    </message>
    <message>
        <source>放大 / 缩小</source>
        <translation>放大 / 缩小</translation>
    </message>
    <message>
        <source>首页 / 尾页</source>
        <translation>首页 / 尾页</translation>
    </message>
    <message>
        <source>上一页 / 下一页</source>
        <translation>上一页 / 下一页</translation>
    </message>
    <message>
        <source>跳到页码框：输入页码后按 Enter</source>
        <translation>跳到页码框：输入页码后按 Enter</translation>
    </message>
    <message>
        <source>图像显示</source>
        <translation>图像显示</translation>
    </message>
    <message>
        <source>扫描配置</source>
        <translation>扫描配置</translation>
    </message>
    <message>
        <source>系统配置</source>
        <translation>系统配置</translation>
    </message>
    <message>
        <source>使用说明</source>
        <translation>使用说明</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>关于</translation>
    </message>
    <message>
        <source>快捷键</source>
        <translation>快捷键</translation>
    </message>
    <message>
        <source>按键</source>
        <translation>按键</translation>
    </message>
    <message>
        <source>操作</source>
        <translation>操作</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>撤销：取消上一步对图像列表的更改</source>
        <translation>撤销：取消上一步对图像列表的更改</translation>
    </message>
    <message>
        <source>重做：恢复刚撤销的更改</source>
        <translation>重做：恢复刚撤销的更改</translation>
    </message>
    <message>
        <source>复制文字：选中图像识别出的文字（缩略图列中也可按 Ctrl+C）</source>
        <translation>复制文字：选中图像识别出的文字（缩略图列中也可按 Ctrl+C）</translation>
    </message>
</context>
<context>
    <name>SplashDialog</name>
    <message>
        <source>泽科维扫描软件</source>
        <translation>泽科维扫描软件</translation>
    </message>
</context>
<context>
    <name>ThumbnailItemDelegate</name>
    <message>
        <source>文</source>
        <translation>文</translation>
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
        <translation>基本参数</translation>
    </message>
    <message>
        <source>纸张来源：</source>
        <translation>纸张来源：</translation>
    </message>
    <message>
        <source>图像模式：</source>
        <translation>图像模式：</translation>
    </message>
    <message>
        <source>多流输出模式：</source>
        <translation>多流输出模式：</translation>
    </message>
    <message>
        <source>分辨率(50~600)：</source>
        <translation>分辨率(50~600)：</translation>
    </message>
    <message>
        <source>dpi</source>
        <translation>dpi</translation>
    </message>
    <message>
        <source>纸张大小：</source>
        <translation>纸张大小：</translation>
    </message>
    <message>
        <source>        自定义宽度：</source>
        <translation>        自定义宽度：</translation>
    </message>
    <message>
        <source>mm</source>
        <translation>mm</translation>
    </message>
    <message>
        <source>        自定义高度：</source>
        <translation>        自定义高度：</translation>
    </message>
    <message>
        <source>                     长页：</source>
        <translation>                     长页：</translation>
    </message>
    <message>
        <source>自动大小：</source>
        <translation>自动大小：</translation>
    </message>
    <message>
        <source>多页进纸检测：</source>
        <translation>多页进纸检测：</translation>
    </message>
    <message>
        <source>检测空白页：</source>
        <translation>检测空白页：</translation>
    </message>
    <message>
        <source>        灵敏度(1~5)：</source>
        <translation>        灵敏度(1~5)：</translation>
    </message>
    <message>
        <source>高级参数</source>
        <translation>高级参数</translation>
    </message>
    <message>
        <source>色调调节：</source>
        <translation>色调调节：</translation>
    </message>
    <message>
        <source>亮度(-127~127)：</source>
        <translation>亮度(-127~127)：</translation>
    </message>
    <message>
        <source>对比度(-127~127)：</source>
        <translation>对比度(-127~127)：</translation>
    </message>
    <message>
        <source>阴影(0~254)：</source>
        <translation>阴影(0~254)：</translation>
    </message>
    <message>
        <source>高光(1~255)：</source>
        <translation>高光(1~255)：</translation>
    </message>
    <message>
        <source>伽马(0.1~10)：</source>
        <translation>伽马(0.1~10)：</translation>
    </message>
    <message>
        <source>黑白方法：</source>
        <translation>黑白方法：</translation>
    </message>
    <message>
        <source>        灵敏度(-50~50)：</source>
        <translation>        灵敏度(-50~50)：</translation>
    </message>
    <message>
        <source>        背景阈值(-50~50)：</source>
        <translation>        背景阈值(-50~50)：</translation>
    </message>
    <message>
        <source>        SDTC模式：</source>
        <translation>        SDTC模式：</translation>
    </message>
    <message>
        <source>        阈值(0~255)：</source>
        <translation>        阈值(0~255)：</translation>
    </message>
    <message>
        <source>边缘裁剪：</source>
        <translation>边缘裁剪：</translation>
    </message>
    <message>
        <source>滤色：</source>
        <translation>滤色：</translation>
    </message>
    <message>
        <source>清晰度：</source>
        <translation>清晰度：</translation>
    </message>
    <message>
        <source>扩展参数</source>
        <translation>扩展参数</translation>
    </message>
    <message>
        <source>图像旋转：</source>
        <translation>图像旋转：</translation>
    </message>
    <message>
        <source>度</source>
        <translation>度</translation>
    </message>
    <message>
        <source>上下分割：</source>
        <translation>上下分割：</translation>
    </message>
    <message>
        <source>正反面合并：</source>
        <translation>正反面合并：</translation>
    </message>
    <message>
        <source>        反面位置：</source>
        <translation>        反面位置：</translation>
    </message>
    <message>
        <source>        反面旋转：</source>
        <translation>        反面旋转：</translation>
    </message>
    <message>
        <source>清除颜色：</source>
        <translation>清除颜色：</translation>
    </message>
    <message>
        <source>        灵敏度(-5~5)：</source>
        <translation>        灵敏度(-5~5)：</translation>
    </message>
</context>
</TS>
