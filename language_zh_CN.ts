<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>CustomDialog</name>
    <message>
        <source>自定义设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>基础设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保存路径</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>分辨率</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>存储格式</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>纸张来源</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>扫描模式</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>稿件大小</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>稿件厚度</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>稿件材质</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>图像色彩设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>半色调图案</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>滤镜</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>亮度</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>对比度</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>色调曲线</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>去除网纹</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>图像校正设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>旋转角度</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>伽马值</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>自动纠偏</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>去除空白页</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>其他设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>防渗透</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>节能模式</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>改变背景颜色</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>确定</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>取消</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ImageTree</name>
    <message>
        <source>ImageTree</source>
        <translation>页面缩略图</translation>
    </message>
    <message>
        <source>Skipped blank page</source>
        <translation>已跳过的空白页</translation>
    </message>
</context>
<context>
    <name>ImageView</name>
    <message>
        <source>Save Screen Shoot</source>
        <translation>截取</translation>
    </message>
    <message>
        <source>ALL File(*.*)</source>
        <translation>所有文件(*.*)</translation>
    </message>
    <message>
        <source>Could not write %1</source>
        <translation>无法写入 %1</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Infomation</source>
        <translation>提示</translation>
    </message>
</context>
<context>
    <name>LogWindow</name>
    <message>
        <source>工作日志</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>toolBar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No.</source>
        <translation>任务</translation>
    </message>
    <message>
        <source>User</source>
        <translation>用户</translation>
    </message>
    <message>
        <source>Path</source>
        <translation>文档</translation>
    </message>
    <message>
        <source>Scanner</source>
        <translation>扫描仪</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>时间</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>清除</translation>
    </message>
    <message>
        <source>Only the newest %1 records are shown; older ones are in the log file</source>
        <translation>仅显示最新的 %1 条记录，更早的记录在日志文件中</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Delete every record of the work log? This cannot be undone.</source>
        <translation>确定删除全部工作日志记录吗？删除后无法恢复。</translation>
    </message>
</context>
<context>
    <name>LoginDialog</name>
    <message>
        <source>Admin</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Login</source>
        <translation>登入</translation>
    </message>
    <message>
        <source>User:</source>
        <translation>用户名：</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>密码：</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>User is null</source>
        <translation>       用户名不能为空      </translation>
    </message>
    <message>
        <source>Password is null</source>
        <translation>       密码不能为空      </translation>
    </message>
    <message>
        <source>User or Password is wrong</source>
        <translation>      用户名或密码错误     </translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Infomation</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>The administrator account file %1 can be changed by other users and is not used</source>
        <translation>管理员账户文件 %1 可被其他用户修改，已停用</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Veldrin扫描软件V2.0</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>基本设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>存储位置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>稿件名称</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>分辨率</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>150</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>200</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>300</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>400</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>600</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>存储格式</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>识别语言</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>JPG</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PDF</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>TIFF</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OFD</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PNG</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>BMP</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>合并PDF</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>可搜索PDF</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>合并OFD</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>可搜索OFD</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>纸张来源</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>平板</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>自动进稿器（单面）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>自动进稿器（双面）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>扫描模式</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>黑白</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>灰度</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>彩色</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>稿件大小</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>自动检测尺寸</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A6</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>B6</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Statement</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A5</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>B5</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Executive</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>16K</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Letter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Folio</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Legal</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>B4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>8K</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>11X15</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>11x17</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>稿件厚度</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>稿件材质</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>普通白纸</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>铜板</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>牛皮纸</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>图像增强设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>半色调图案</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>阈值</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>误差扩散</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>滤镜</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>怀旧滤镜</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>连环画滤镜</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>熔铸滤镜</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>冰冻滤镜</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>亮度</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>对比度</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>色调曲线</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>去网纹</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>网纹半径</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>图像校正设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>旋转角度</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>伽马值</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>自动纠偏</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>去除空白页</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>其他设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>防渗透</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>关闭</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>一级</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>二级</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>三级</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>节能模式</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>开启</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>改变背景颜色</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>隐藏进度条</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>参数重置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保存参数</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>扫描</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>预览</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>文件(&amp;F)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>日志(&amp;L)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>帮助(&amp;H)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>打开预览窗口</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>退出</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>加载日志</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>导出日志</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>修改密码</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>简洁</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>专业</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>自定义</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>自定义设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>导出模板</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>导入模板</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IP设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>另存为</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>关于软件</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>取消扫描</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancelling...</source>
        <translation>正在取消...</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Infomation</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Please select flatbed to scan</source>
        <translation>进稿器只能扫描普通白纸，其他类型纸张请使用平台扫描</translation>
    </message>
    <message>
        <source>Parameter error</source>
        <translation>        参数校验失败        </translation>
    </message>
    <message>
        <source>Unable to connect to the scanner %1: check that it is switched on and on the network, then click &quot;Test connection&quot; in &quot;Choose scanner&quot;.</source>
        <translation>无法连接扫描仪 %1：请确认扫描仪已开机并已接入网络，然后在&quot;选择扫描仪&quot;中点击&quot;测试连接&quot;。</translation>
    </message>
    <message>
        <source>(no address)</source>
        <translation>（未设置地址）</translation>
    </message>
    <message>
        <source>The scanner is busy (copying, or in use by someone else); try again later.</source>
        <translation>扫描仪正忙（可能正在复印或被他人使用），请稍后重试。</translation>
    </message>
    <message>
        <source>The scanner&apos;s scan service is stopped: check the scanner&apos;s panel.</source>
        <translation>扫描仪的扫描服务已停止：请查看扫描仪面板。</translation>
    </message>
    <message>
        <source>There is no paper in the feeder: put the sheets in and try again.</source>
        <translation>进纸器中没有纸张：请放入纸张后重试。</translation>
    </message>
    <message>
        <source>Paper jam: the first %1 page(s) are saved. Take out the jammed paper, put the sheets from sheet %2 on back into the feeder, then click &quot;Continue scan&quot;.</source>
        <translation>卡纸：已保存前 %1 页。请取出卡住的纸张，把第 %2 张起的纸重新放入进纸器，然后点击&quot;继续扫描&quot;。</translation>
    </message>
    <message>
        <source>The scanner&apos;s cover is open: the first %1 page(s) are saved. Close the cover, put the sheets from sheet %2 on back into the feeder, then click &quot;Continue scan&quot;.</source>
        <translation>扫描仪盖板打开：已保存前 %1 页。请合上盖板，把第 %2 张起的纸重新放入进纸器，然后点击&quot;继续扫描&quot;。</translation>
    </message>
    <message>
        <source>File receive error</source>
        <translation>       文件接收错误        </translation>
    </message>
    <message>
        <source>File write error</source>
        <translation>        文件写入错误        </translation>
    </message>
    <message>
        <source>Scan service internal error</source>
        <translation>       扫描服务内部错误     </translation>
    </message>
    <message>
        <source>unknown error</source>
        <translation>        未知错误        </translation>
    </message>
    <message>
        <source>paper size is wrong</source>
        <translation>警告：稿件大小与参数设置的大小不一致</translation>
    </message>
    <message>
        <source>Parameters saved successfully</source>
        <translation>      保存参数成功      </translation>
    </message>
    <message>
        <source>Select Folder</source>
        <translation>选择保存路径</translation>
    </message>
    <message>
        <source>Import Files</source>
        <translation>保存参数设置</translation>
    </message>
    <message>
        <source>Config Files (*.ini)</source>
        <translation>参数配置文件 (*.ini)</translation>
    </message>
    <message>
        <source>Open File</source>
        <translation>导入参数配置文件</translation>
    </message>
    <message>
        <source>Save as</source>
        <translation>另存为</translation>
    </message>
    <message>
        <source>the file has exited,do you want to replace it?</source>
        <translation>文件已存在，是否替换？</translation>
    </message>
    <message>
        <source>Change the password successfully</source>
        <translation>      修改密码成功     </translation>
    </message>
    <message>
        <source>There is no history log file</source>
        <translation>     没有历史日志     </translation>
    </message>
    <message>
        <source>export log</source>
        <translation>导出日志</translation>
    </message>
    <message>
        <source>Export log successfully</source>
        <translation>        导出日志成功        </translation>
    </message>
    <message>
        <source>Export log failed</source>
        <translation>        导出日志失败        </translation>
    </message>
    <message>
        <source>Failed to save parameters</source>
        <translation>保存参数失败</translation>
    </message>
    <message>
        <source>Unable to start the scan program</source>
        <translation>无法启动扫描程序</translation>
    </message>
    <message>
        <source>Unable to create the temporary image folder</source>
        <translation>无法创建临时图像文件夹</translation>
    </message>
    <message>
        <source>%1 page(s) could not be saved to %2</source>
        <translation>%1 页未能保存到 %2</translation>
    </message>
    <message>
        <source>%1 page(s) could not be read</source>
        <translation>%1 页无法读取</translation>
    </message>
    <message>
        <source>The template could not be imported</source>
        <translation>模板文件无法导入</translation>
    </message>
    <message>
        <source>Could not write %1</source>
        <translation>无法写入 %1</translation>
    </message>
    <message>
        <source>About</source>
        <translation>关于软件</translation>
    </message>
    <message>
        <source>Veldrin scanning console, version %1</source>
        <translation>Veldrin扫描软件，版本 %1</translation>
    </message>
</context>
<context>
    <name>PageSaveProgress</name>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Saving %1/%2</source>
        <translation>正在保存 %1/%2</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>Could not write %1</source>
        <translation>无法写入 %1</translation>
    </message>
    <message>
        <source>Text recognition %1/%2</source>
        <translation>文字识别 %1/%2</translation>
    </message>
</context>
<context>
    <name>PasswordDialog</name>
    <message>
        <source>Change Password</source>
        <translation>修改密码</translation>
    </message>
    <message>
        <source>Old Password:</source>
        <translation>原密码：</translation>
    </message>
    <message>
        <source>New Password:</source>
        <translation>新密码：</translation>
    </message>
    <message>
        <source>Confirm Password:</source>
        <translation>确认密码：</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>确认</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Old password is not corrected, please try again!</source>
        <translation>原密码错误，请重试</translation>
    </message>
    <message>
        <source>the length of password can not less than 6, please try again!</source>
        <translation>密码长度不能小于6位</translation>
    </message>
    <message>
        <source>the length of password can not more than 16, please try again!</source>
        <translation>密码长度不能大于16位</translation>
    </message>
    <message>
        <source>new password and confirm password is not consistence, please try again!</source>
        <translation>新密码与确认密码不一致</translation>
    </message>
    <message>
        <source>Old password can not equal to new password, please try again!</source>
        <translation>新密码不能与原密码相同</translation>
    </message>
    <message>
        <source>The password is a string of 6 to 16 letters, numbers, please try again!</source>
        <translation>密码需为6到16位数字或字母组成</translation>
    </message>
    <message>
        <source>Failed to save the new password</source>
        <translation>新密码保存失败</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Infomation</source>
        <translation>提示</translation>
    </message>
</context>
<context>
    <name>PreviewDiscard</name>
    <message>
        <source>Information</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>%1 page(s) in the preview have not been saved. Discard them?</source>
        <translation>预览中有 %1 页尚未保存，是否丢弃？</translation>
    </message>
</context>
<context>
    <name>PreviewWindow</name>
    <message>
        <source>Image manager</source>
        <translation>图片管理器</translation>
    </message>
    <message>
        <source>File(&amp;F)</source>
        <translation>文件(&amp;F)</translation>
    </message>
    <message>
        <source>Edit(&amp;E)</source>
        <translation>编辑(&amp;E)</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>导出</translation>
    </message>
    <message>
        <source>Delete page</source>
        <translation>删除页面</translation>
    </message>
    <message>
        <source>Move up</source>
        <translation>上移</translation>
    </message>
    <message>
        <source>Move down</source>
        <translation>下移</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>撤销</translation>
    </message>
    <message>
        <source>Drag over the region, or click two corners; Enter saves, Escape ends</source>
        <translation>在页面上拖出区域，或依次点击区域的两个角；回车保存，Esc 结束截取</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>退出</translation>
    </message>
    <message>
        <source>Screenshot</source>
        <translation>截取</translation>
    </message>
    <message>
        <source>Rotate 90 degrees CCW</source>
        <translation>逆时针旋转90度</translation>
    </message>
    <message>
        <source>Rotate 90 degrees CW</source>
        <translation>顺时针旋转90度</translation>
    </message>
    <message>
        <source>100%</source>
        <translation>图像原始大小</translation>
    </message>
    <message>
        <source>Fit to window</source>
        <translation>适合窗口</translation>
    </message>
    <message>
        <source>Restore this page</source>
        <translation>恢复此页</translation>
    </message>
    <message>
        <source>Skipped blank page, not saved: Restore this page puts it back</source>
        <translation>已跳过的空白页，未保存：“恢复此页”可将其放回文档</translation>
    </message>
    <message>
        <source>the file has exited,do you want to replace it?</source>
        <translation>文件已存在，是否替换？</translation>
    </message>
    <message>
        <source>Could not write %1</source>
        <translation>无法写入 %1</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Infomation</source>
        <translation>提示</translation>
    </message>
</context>
<context>
    <name>PreviewWindowClass</name>
    <message>
        <source>预览</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>RunProgressDialog</name>
    <message>
        <source>Scanning...</source>
        <translation>扫描中...</translation>
    </message>
    <message>
        <source>Please wait</source>
        <translation>请等待</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Cancelling...</source>
        <translation>正在取消...</translation>
    </message>
</context>
<context>
    <name>RunReport</name>
    <message>
        <source>, %1</source>
        <translation>，%1</translation>
    </message>
    <message>
        <source>the scanner does not offer %1 dpi, scanned at %2 dpi</source>
        <translation>扫描仪不支持 %1 dpi，已按 %2 dpi 扫描</translation>
    </message>
    <message>
        <source>%1 x %2 mm</source>
        <translation>%1 × %2 mm</translation>
    </message>
    <message>
        <source>The scanner scans at most %1, scanned %2</source>
        <translation>扫描仪最大支持 %1，已按 %2 扫描</translation>
    </message>
    <message>
        <source>The page cache is full: pages not saved yet may be lost if the program ends abnormally</source>
        <translation>页面缓存空间不足，未保存的页面在程序异常退出时可能丢失</translation>
    </message>
    <message>
        <source>%1 page(s) scanned</source>
        <translation>已扫描 %1 页</translation>
    </message>
    <message>
        <source>%1 page(s) saved to %2</source>
        <translation>已保存 %1 页到 %2</translation>
    </message>
    <message>
        <source>Scan cancelled, %1 page(s) saved</source>
        <translation>扫描已取消，已保存 %1 页</translation>
    </message>
    <message>
        <source>Scan cancelled, %1 page(s) scanned</source>
        <translation>扫描已取消，已扫描 %1 页</translation>
    </message>
    <message>
        <source>Text recognition %1/%2</source>
        <translation>文字识别 %1/%2</translation>
    </message>
    <message>
        <source>, %1 blank page(s) skipped</source>
        <translation>，已跳过 %1 页空白页</translation>
    </message>
    <message>
        <source>, text recognition cancelled</source>
        <translation>，文字识别已取消</translation>
    </message>
</context>
<context>
    <name>ScanTargetCheck</name>
    <message>
        <source>The document name is empty</source>
        <translation>文档名称为空</translation>
    </message>
    <message>
        <source>The document name must not contain &quot;/&quot;</source>
        <translation>文档名称不能包含“/”</translation>
    </message>
    <message>
        <source>The document name must not contain control characters</source>
        <translation>文档名称不能包含控制字符</translation>
    </message>
    <message>
        <source>The document name must not be &quot;.&quot; or &quot;..&quot;</source>
        <translation>文档名称不能是“.”或“..”</translation>
    </message>
    <message>
        <source>The document name is longer than %1 bytes</source>
        <translation>文档名称超过 %1 字节</translation>
    </message>
    <message>
        <source>No destination folder is set</source>
        <translation>未设置保存路径</translation>
    </message>
    <message>
        <source>The destination folder %1 cannot be created</source>
        <translation>无法创建保存文件夹 %1</translation>
    </message>
    <message>
        <source>The destination %1 is not a folder</source>
        <translation>保存路径 %1 不是文件夹</translation>
    </message>
    <message>
        <source>The destination folder %1 is not writable</source>
        <translation>保存文件夹 %1 不可写入</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>%1. Pages are saved to %2 instead.</source>
        <translation>%1，页面改为保存到 %2。</translation>
    </message>
    <message>
        <source>Other users can write to the destination folder %1: they can replace or remove the pages saved there. Save there anyway?</source>
        <translation>其他用户可以写入保存文件夹 %1，他们可以替换或删除保存在其中的页面。仍要保存到这里吗？</translation>
    </message>
</context>
<context>
    <name>ScanningThread</name>
    <message>
        <source>scanning...</source>
        <translation>扫描中...</translation>
    </message>
    <message>
        <source>Unable to start the scan program</source>
        <translation>无法启动扫描程序</translation>
    </message>
    <message>
        <source>Unable to create the temporary image folder</source>
        <translation>无法创建临时图像文件夹</translation>
    </message>
</context>
<context>
    <name>Startup</name>
    <message>
        <source>Information</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>The last scan did not end normally: %1 page(s) in all, %2 of them not saved yet. Restore them?</source>
        <translation>发现上次未正常结束的扫描：共 %1 页，其中 %2 页尚未保存。是否恢复？</translation>
    </message>
    <message>
        <source>The last scan did not end normally.</source>
        <translation>发现上次未正常结束的扫描。</translation>
    </message>
    <message>
        <source>%1 page(s) cannot be read and cannot be restored: %2</source>
        <translation>%1 页无法读取，不能恢复：%2</translation>
    </message>
    <message>
        <source>%1 page(s) could not be restored: %2</source>
        <translation>%1 页未能恢复：%2</translation>
    </message>
    <message>
        <source>, </source>
        <translation>、</translation>
    </message>
</context>
<context>
    <name>Console</name>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>The scanning console is already running, but it does not answer.</source>
        <translation>扫描软件已在运行，但没有响应。</translation>
    </message>
</context>
<context>
    <name>PrinterAddress</name>
    <message>
        <source>Not a valid scanner device name: %1</source>
        <translation>扫描仪设备名无效：%1</translation>
    </message>
    <message>
        <source>Enter the printer&apos;s address</source>
        <translation>请输入打印机地址</translation>
    </message>
    <message>
        <source>The address must not contain blanks</source>
        <translation>地址中不能有空格</translation>
    </message>
    <message>
        <source>The numbers of an IPv4 address must not start with 0: %1</source>
        <translation>IPv4地址中的数字不能以0开头：%1</translation>
    </message>
    <message>
        <source>An IPv4 address is four numbers from 0 to 255 separated by dots: %1</source>
        <translation>IPv4地址应为以点分隔的四个0到255之间的数字：%1</translation>
    </message>
    <message>
        <source>Not a valid host name (letters, digits, hyphens and dots): %1</source>
        <translation>主机名无效（只能包含字母、数字、连字符和点）：%1</translation>
    </message>
    <message>
        <source>Only addresses starting with http:// or https:// are accepted: %1</source>
        <translation>地址只能以 http:// 或 https:// 开头：%1</translation>
    </message>
    <message>
        <source>The port must be a number from 1 to 65535: %1</source>
        <translation>端口应为1到65535之间的数字：%1</translation>
    </message>
    <message>
        <source>Not a valid scanner address (http[s]://host[:port][/path]): %1</source>
        <translation>扫描仪地址无效（http[s]://主机[:端口][/路径]）：%1</translation>
    </message>
</context>
<context>
    <name>AdminPasswordChange</name>
    <message>
        <source>Changing the administrator password needs the system administrator&apos;s rights. Ask the system administrator to run:
%1</source>
        <translation>需要系统管理员权限才能修改管理员密码。请系统管理员运行：
%1</translation>
    </message>
    <message>
        <source>The system administrator&apos;s authorisation was not given; the password is unchanged</source>
        <translation>未获系统管理员授权，密码未修改</translation>
    </message>
    <message>
        <source>Failed to save the new password</source>
        <translation>新密码保存失败</translation>
    </message>
</context>
<context>
    <name>OcrLanguages</name>
    <message>
        <source>Simplified Chinese</source>
        <translation>简体中文</translation>
    </message>
    <message>
        <source>Simplified Chinese (vertical)</source>
        <translation>简体中文（竖排）</translation>
    </message>
    <message>
        <source>Traditional Chinese</source>
        <translation>繁体中文</translation>
    </message>
    <message>
        <source>Traditional Chinese (vertical)</source>
        <translation>繁体中文（竖排）</translation>
    </message>
    <message>
        <source>English</source>
        <translation>英文</translation>
    </message>
    <message>
        <source>Japanese</source>
        <translation>日文</translation>
    </message>
    <message>
        <source>Korean</source>
        <translation>韩文</translation>
    </message>
    <message>
        <source>French</source>
        <translation>法文</translation>
    </message>
    <message>
        <source>German</source>
        <translation>德文</translation>
    </message>
    <message>
        <source>Russian</source>
        <translation>俄文</translation>
    </message>
    <message>
        <source>Spanish</source>
        <translation>西班牙文</translation>
    </message>
    <message>
        <source>Tibetan</source>
        <translation>藏文</translation>
    </message>
    <message>
        <source>Uyghur</source>
        <translation>维吾尔文</translation>
    </message>
    <message>
        <source>Mongolian</source>
        <translation>蒙古文</translation>
    </message>
</context>
<context>
    <name>ScannerDialog</name>
    <message>
        <source>Choose scanner</source>
        <translation>选择扫描仪</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>Kind</source>
        <translation>类型</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>地址</translation>
    </message>
    <message>
        <source>Search for scanners</source>
        <translation>搜索扫描仪</translation>
    </message>
    <message>
        <source>Address:</source>
        <translation>地址：</translation>
    </message>
    <message>
        <source>IPv4 address, host name or http(s)://host:port/eSCL</source>
        <translation>IPv4地址、主机名或 http(s)://主机:端口/eSCL</translation>
    </message>
    <message>
        <source>Test connection</source>
        <translation>测试连接</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Searching for scanners...</source>
        <translation>正在搜索扫描仪…</translation>
    </message>
    <message>
        <source>No scanner found; an address can be typed below</source>
        <translation>未找到扫描仪；可在下面输入地址</translation>
    </message>
    <message>
        <source>%1 scanner(s) found</source>
        <translation>找到 %1 台扫描仪</translation>
    </message>
    <message>
        <source>Asking the scanner...</source>
        <translation>正在询问扫描仪…</translation>
    </message>
    <message>
        <source>Connected: %1</source>
        <translation>连接成功：%1</translation>
    </message>
    <message>
        <source>No connection: %1</source>
        <translation>无法连接：%1</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>The scanner is used until the console ends, but could not be saved</source>
        <translation>扫描仪在本次运行中有效，但无法保存</translation>
    </message>
</context>
<context>
    <name>ScannerStatusBar</name>
    <message>
        <source>Choose scanner...</source>
        <translation>选择扫描仪…</translation>
    </message>
    <message>
        <source>Success</source>
        <translation>成功连接复合机</translation>
    </message>
    <message>
        <source>Failed</source>
        <translation>无法连接复合机，请检查网络端口</translation>
    </message>
    <message>
        <source>Cannot connect to the scanner %1</source>
        <translation>无法连接扫描仪 %1</translation>
    </message>
    <message>
        <source>Scanner ready</source>
        <translation>扫描仪就绪</translation>
    </message>
    <message>
        <source>Scanner busy</source>
        <translation>扫描仪忙</translation>
    </message>
    <message>
        <source>Scan service stopped</source>
        <translation>扫描服务已停止</translation>
    </message>
    <message>
        <source>Feeder empty</source>
        <translation>进纸器无纸</translation>
    </message>
    <message>
        <source>Paper jam</source>
        <translation>卡纸</translation>
    </message>
    <message>
        <source>Cover open</source>
        <translation>盖板打开</translation>
    </message>
    <message>
        <source>Scanner on this computer</source>
        <translation>本机扫描仪</translation>
    </message>
</context>
<context>
    <name>ScannerDiscovery</name>
    <message>
        <source>The scanner search could not start: %1</source>
        <translation>无法开始搜索扫描仪：%1</translation>
    </message>
    <message>
        <source>The scanner search took longer than %1 s and was stopped</source>
        <translation>搜索扫描仪超过 %1 秒，已停止</translation>
    </message>
    <message>
        <source>The scanner search gave too long a list and was stopped</source>
        <translation>搜索结果过长，已停止</translation>
    </message>
    <message>
        <source>The scanner search failed (SANE could not start)</source>
        <translation>搜索扫描仪失败（SANE 无法启动）</translation>
    </message>
</context>
<context>
    <name>ScannerCheck</name>
    <message>
        <source>Only eSCL scanners can be asked for their model</source>
        <translation>只能询问 eSCL 扫描仪的型号</translation>
    </message>
    <message>
        <source>A scanner on this computer: it is tested by scanning</source>
        <translation>本机扫描仪：请通过扫描测试</translation>
    </message>
    <message>
        <source>The answer is not an eSCL scanner&apos;s capabilities</source>
        <translation>回答不是 eSCL 扫描仪的能力描述</translation>
    </message>
</context>
<context>
    <name>EsclHttp</name>
    <message>
        <source>not a scanner URL: %1</source>
        <translation>不是扫描仪地址：%1</translation>
    </message>
    <message>
        <source>no answer within %1 s</source>
        <translation>%1 秒内没有回答</translation>
    </message>
    <message>
        <source>the answer is larger than %1 KB</source>
        <translation>回答超过 %1 KB</translation>
    </message>
    <message>
        <source>cannot connect: %1</source>
        <translation>无法连接：%1</translation>
    </message>
    <message>
        <source>the scanner answered HTTP %1</source>
        <translation>扫描仪回答 HTTP %1</translation>
    </message>
    <message>
        <source>stopped</source>
        <translation>已停止</translation>
    </message>
    <message>
        <source>connection refused or host not found</source>
        <translation>连接被拒绝或主机未找到</translation>
    </message>
    <message>
        <source>the secure connection failed</source>
        <translation>安全连接失败</translation>
    </message>
    <message>
        <source>the connection broke off</source>
        <translation>连接中断</translation>
    </message>
</context>
<context>
    <name>ScanContinuation</name>
    <message>
        <source>Continue scan</source>
        <translation>继续扫描</translation>
    </message>
</context>
</TS>
