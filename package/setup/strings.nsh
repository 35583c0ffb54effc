; The setup program's own texts, in English and Simplified Chinese (UTF-8, read with
; makensis -INPUTCHARSET UTF8). Variables are filled in when a text is shown: $heldFile,
; $oldVersion; $R1 (a folder) and $R2 (an account or an error) after a folder check.

!ifdef SIMULATED_EDITION
LangString EditionName ${LANG_ENGLISH} "${PRODUCT} (simulated camera)"
LangString EditionName ${LANG_SIMPCHINESE} "${PRODUCT}（模拟相机版）"
LangString SectionCameraLibrary ${LANG_ENGLISH} "Simulated camera library"
LangString SectionCameraLibrary ${LANG_SIMPCHINESE} "模拟相机库"
LangString DescriptionCameraLibrary ${LANG_ENGLISH} "This edition simulates Vyxon cameras, to try the driver without one (vyxsim plugs them in). For a real camera, install the edition that holds the camera maker's library."
LangString DescriptionCameraLibrary ${LANG_SIMPCHINESE} "此版本模拟 Vyxon 相机，无需相机即可试用驱动（用 vyxsim 插入模拟相机）。如需使用真实相机，请安装含相机厂商库的版本。"
LangString SectionTools ${LANG_ENGLISH} "Tools: vyxcap, vyxcatalog, vyxsim"
LangString SectionTools ${LANG_SIMPCHINESE} "工具：vyxcap、vyxcatalog、vyxsim"
!else
LangString EditionName ${LANG_ENGLISH} "${PRODUCT}"
LangString EditionName ${LANG_SIMPCHINESE} "${PRODUCT}"
LangString SectionCameraLibrary ${LANG_ENGLISH} "Vyxon camera library"
LangString SectionCameraLibrary ${LANG_SIMPCHINESE} "Vyxon 相机库"
LangString DescriptionCameraLibrary ${LANG_ENGLISH} "The camera maker's library, through which the filters reach the cameras. One an administrator has put in place is kept."
LangString DescriptionCameraLibrary ${LANG_SIMPCHINESE} "相机厂商的库，滤镜通过它访问相机。管理员自行放置的库会被保留。"
LangString SectionTools ${LANG_ENGLISH} "Tools: vyxcap, vyxcatalog"
LangString SectionTools ${LANG_SIMPCHINESE} "工具：vyxcap、vyxcatalog"
!endif

LangString SectionDriver ${LANG_ENGLISH} "Camera service and DirectShow filters"
LangString SectionDriver ${LANG_SIMPCHINESE} "相机服务和 DirectShow 滤镜"
LangString DescriptionDriver ${LANG_ENGLISH} "The service VYXDshowService and the 32-bit and 64-bit filters it registers while a camera is plugged in."
LangString DescriptionDriver ${LANG_SIMPCHINESE} "服务 VYXDshowService 及其在相机插入时注册的 32 位和 64 位滤镜。"
LangString DescriptionTools ${LANG_ENGLISH} "Command-line tools to list, inspect and record the cameras."
LangString DescriptionTools ${LANG_SIMPCHINESE} "用于列出、查看和录制相机的命令行工具。"

LangString NeedAdmin ${LANG_ENGLISH} "Administrator rights are needed to install ${PRODUCT}. Run the setup program again and allow it to make changes, or sign in as an administrator."
LangString NeedAdmin ${LANG_SIMPCHINESE} "安装 ${PRODUCT} 需要管理员权限。请重新运行安装程序并允许其进行更改，或以管理员身份登录。"

LangString Needs64BitWindows ${LANG_ENGLISH} "This setup program is for 64-bit Windows. On 32-bit Windows, install from VYXCameraDriver-${VERSION}.zip instead: its README-Windows.txt says how."
LangString Needs64BitWindows ${LANG_SIMPCHINESE} "此安装程序适用于 64 位 Windows。在 32 位 Windows 上，请改用 VYXCameraDriver-${VERSION}.zip 安装，方法见其中的 README-Windows.txt。"

LangString NoArmWindows ${LANG_ENGLISH} "${PRODUCT} does not support Windows on ARM: its camera filters are built for x64 and x86 processors only. Nothing was installed."
LangString NoArmWindows ${LANG_SIMPCHINESE} "${PRODUCT} 不支持 ARM 版 Windows：其相机滤镜仅为 x64 和 x86 处理器构建。未安装任何内容。"

LangString AnotherSetupRunning ${LANG_ENGLISH} "Another setup or uninstall of ${PRODUCT} is running. Let it finish, then try again."
LangString AnotherSetupRunning ${LANG_SIMPCHINESE} "${PRODUCT} 的另一个安装或卸载程序正在运行。请等它完成后再试。"

LangString NewerInstalled ${LANG_ENGLISH} "${PRODUCT} $oldVersion is installed, newer than this setup's ${VERSION}. Nothing was changed; to go back to ${VERSION}, uninstall $oldVersion first."
LangString NewerInstalled ${LANG_SIMPCHINESE} "已安装的 ${PRODUCT} $oldVersion 比此安装程序的 ${VERSION} 更新。未做任何更改；如需换回 ${VERSION}，请先卸载 $oldVersion。"

LangString InstalledElsewhere ${LANG_ENGLISH} "${PRODUCT} is already installed in $R1. Upgrade it there (run the setup without /D=), or uninstall it first. Nothing was changed."
LangString InstalledElsewhere ${LANG_SIMPCHINESE} "${PRODUCT} 已安装在 $R1。请在原位置升级（运行安装程序时不带 /D=），或先将其卸载。未做任何更改。"

LangString FolderPageText ${LANG_ENGLISH} "Setup will install ${PRODUCT} in the following folder. The camera service runs the filters from it with full rights, so another folder must be new or empty, on a local drive, with no folder above it that other users may change; setup lets only SYSTEM and Administrators change it."
LangString FolderPageText ${LANG_SIMPCHINESE} "安装程序将把 ${PRODUCT} 安装到下列文件夹。相机服务以完全权限从此文件夹运行滤镜，因此其他文件夹必须是新的或空的、位于本地磁盘，且其上级文件夹均不能被其他用户修改；安装程序会设置其权限，只允许 SYSTEM 和 Administrators 修改。"

LangString FolderNotLocal ${LANG_ENGLISH} "$R1 is not on a local fixed drive, where the camera service could rely on it. Choose a folder on a local NTFS drive. Nothing was changed."
LangString FolderNotLocal ${LANG_SIMPCHINESE} "$R1 不在本地固定磁盘上，相机服务无法可靠使用。请选择本地 NTFS 磁盘上的文件夹。未做任何更改。"
LangString FolderIsAFile ${LANG_ENGLISH} "$R1 is a file, not a folder. Choose another folder. Nothing was changed."
LangString FolderIsAFile ${LANG_SIMPCHINESE} "$R1 是文件而不是文件夹。请选择其他文件夹。未做任何更改。"
LangString FolderNotEmpty ${LANG_ENGLISH} "$R1 already holds files, which would all get the camera service's access list. Choose a new or empty folder. Nothing was changed."
LangString FolderNotEmpty ${LANG_SIMPCHINESE} "$R1 中已有文件，这些文件都会被改为相机服务的访问权限。请选择新的或空的文件夹。未做任何更改。"
LangString FolderIsALink ${LANG_ENGLISH} "$R1 is a junction or a symbolic link, which could later be pointed elsewhere. Choose a folder whose path holds no links. Nothing was changed."
LangString FolderIsALink ${LANG_SIMPCHINESE} "$R1 是目录联接或符号链接，以后可能被指向别处。请选择路径中不含链接的文件夹。未做任何更改。"
LangString FolderOwnedByOther ${LANG_ENGLISH} "$R1 belongs to $R2, not to Administrators, so $R2 could replace what the camera service runs with full rights. Choose another folder, or make Administrators its owner. Nothing was changed."
LangString FolderOwnedByOther ${LANG_SIMPCHINESE} "$R1 的所有者是 $R2 而不是 Administrators，$R2 因而可以替换相机服务以完全权限运行的文件。请选择其他文件夹，或将其所有者改为 Administrators。未做任何更改。"
LangString FolderWritableByOther ${LANG_ENGLISH} "$R2 may rename or change $R1, and so replace what the camera service runs with full rights. Choose another folder, or take that permission away. Nothing was changed."
LangString FolderWritableByOther ${LANG_SIMPCHINESE} "$R2 可以重命名或修改 $R1，从而替换相机服务以完全权限运行的文件。请选择其他文件夹，或撤销该权限。未做任何更改。"
LangString FolderNotSecured ${LANG_ENGLISH} "The access list of $R1 could not be set ($R2), and the camera service would refuse to run from it. Choose a folder on a local NTFS drive. Nothing was changed."
LangString FolderNotSecured ${LANG_SIMPCHINESE} "无法设置 $R1 的访问权限（$R2），相机服务将拒绝从该文件夹运行。请选择本地 NTFS 磁盘上的文件夹。未做任何更改。"

LangString FileInUse ${LANG_ENGLISH} "$heldFile is in use by a running program, probably a capture application with the camera open."
LangString FileInUse ${LANG_SIMPCHINESE} "$heldFile 正被一个运行中的程序使用，可能是打开了相机的采集软件。"
LangString CloseAndRetry ${LANG_ENGLISH} "Close that program and choose Retry, or choose Cancel to leave the installed version as it is."
LangString CloseAndRetry ${LANG_SIMPCHINESE} "请关闭该程序后选择“重试”，或选择“取消”保持已安装的版本不变。"
LangString OldVersionKept ${LANG_ENGLISH} "Nothing was changed; the installed version is kept."
LangString OldVersionKept ${LANG_SIMPCHINESE} "未做任何更改，已安装的版本保持不变。"
LangString NothingRemoved ${LANG_ENGLISH} "Nothing was removed."
LangString NothingRemoved ${LANG_SIMPCHINESE} "未删除任何内容。"

LangString ServiceMarkedForDeletion ${LANG_ENGLISH} "The camera service VYXDshowService was removed but another program still holds it open (the Services console, Task Manager, a monitoring tool), so Windows cannot install it again yet. Close those programs or restart Windows, then run the setup again. Nothing was changed."
LangString ServiceMarkedForDeletion ${LANG_SIMPCHINESE} "相机服务 VYXDshowService 已被删除，但仍被其他程序（服务管理控制台、任务管理器、监控工具）打开，Windows 暂时无法重新安装它。请关闭这些程序或重启 Windows，然后重新运行安装程序。未做任何更改。"
LangString ServiceNotStopped ${LANG_ENGLISH} "The installed camera service VYXDshowService could not be stopped; the Application event log, source VYXDshowService, says why. Nothing was replaced."
LangString ServiceNotStopped ${LANG_SIMPCHINESE} "无法停止已安装的相机服务 VYXDshowService，原因见应用程序事件日志（来源 VYXDshowService）。未替换任何文件。"
LangString CannotReplace ${LANG_ENGLISH} "A file of the installed version could not be moved aside, so nothing was replaced:"
LangString CannotReplace ${LANG_SIMPCHINESE} "无法移开已安装版本的文件，因此未替换任何内容："
LangString CannotWrite ${LANG_ENGLISH} "Setup could not write"
LangString CannotWrite ${LANG_SIMPCHINESE} "安装程序无法写入"
LangString OwnerNotSet ${LANG_ENGLISH} "Administrators could not be made the owner of"
LangString OwnerNotSet ${LANG_SIMPCHINESE} "无法将 Administrators 设为以下项目的所有者："
LangString ServiceNotInstalled ${LANG_ENGLISH} "The camera service VYXDshowService could not be installed or started (exit code $0); the Application event log, source VYXDshowService, says why."
LangString ServiceNotInstalled ${LANG_SIMPCHINESE} "无法安装或启动相机服务 VYXDshowService（退出代码 $0），原因见应用程序事件日志（来源 VYXDshowService）。"
LangString OldVersionBack ${LANG_ENGLISH} "Version $oldVersion, installed before, was put back and runs again."
LangString OldVersionBack ${LANG_SIMPCHINESE} "之前安装的版本 $oldVersion 已恢复并重新运行。"
LangString NothingLeft ${LANG_ENGLISH} "Setup removed what it had copied."
LangString NothingLeft ${LANG_SIMPCHINESE} "安装程序已删除其复制的文件。"
LangString ServiceNotRemoved ${LANG_ENGLISH} "The camera service VYXDshowService could not be stopped or removed (exit code $0); the Application event log, source VYXDshowService, says why. The files and the Apps and Features entry are kept: run the uninstaller again once that is mended."
LangString ServiceNotRemoved ${LANG_SIMPCHINESE} "无法停止或删除相机服务 VYXDshowService（退出代码 $0），原因见应用程序事件日志（来源 VYXDshowService）。文件和“应用和功能”中的条目均已保留，问题解决后请再次运行卸载程序。"

LangString ReadmeShortcut ${LANG_ENGLISH} "Read me"
LangString ReadmeShortcut ${LANG_SIMPCHINESE} "自述文件"
LangString UninstallShortcut ${LANG_ENGLISH} "Uninstall ${PRODUCT}"
LangString UninstallShortcut ${LANG_SIMPCHINESE} "卸载 ${PRODUCT}"
