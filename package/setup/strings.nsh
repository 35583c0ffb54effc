; The setup program's own texts, in English and Simplified Chinese (UTF-8, read with
; makensis -INPUTCHARSET UTF8). $heldFile is filled in when the text is shown.

LangString NeedAdmin ${LANG_ENGLISH} "Administrator rights are needed to install ${PRODUCT}. Run the setup program again and allow it to make changes, or sign in as an administrator."
LangString NeedAdmin ${LANG_SIMPCHINESE} "安装 ${PRODUCT} 需要管理员权限。请重新运行安装程序并允许其进行更改，或以管理员身份登录。"

LangString FolderPageText ${LANG_ENGLISH} "Setup will install ${PRODUCT} in the following folder. The camera service runs the filters' registration from this folder with full rights, so a folder other than the default gets an access list that lets only SYSTEM and Administrators change it."
LangString FolderPageText ${LANG_SIMPCHINESE} "安装程序将把 ${PRODUCT} 安装到下列文件夹。相机服务以完全权限从此文件夹注册滤镜，因此若选择默认以外的文件夹，安装程序会设置其访问权限，只允许 SYSTEM 和 Administrators 修改。"

LangString FolderSecured ${LANG_ENGLISH} "The access list of $INSTDIR now lets only SYSTEM and Administrators change it; users may read and run its files."
LangString FolderSecured ${LANG_SIMPCHINESE} "已设置 $INSTDIR 的访问权限：只有 SYSTEM 和 Administrators 可以修改，用户可以读取和运行其中的文件。"

LangString FolderNotSecured ${LANG_ENGLISH} "The access list of $INSTDIR could not be set, and the camera service would refuse to run from it. Choose a folder on a local NTFS drive."
LangString FolderNotSecured ${LANG_SIMPCHINESE} "无法设置 $INSTDIR 的访问权限，相机服务将拒绝从该文件夹运行。请选择本地 NTFS 磁盘上的文件夹。"

LangString FileInUse ${LANG_ENGLISH} "$heldFile is in use by a running program, probably a capture application with the camera open."
LangString FileInUse ${LANG_SIMPCHINESE} "$heldFile 正被一个运行中的程序使用，可能是打开了相机的采集软件。"

LangString CloseAndRetry ${LANG_ENGLISH} "Close that program and choose Retry, or choose Cancel to leave the installed version as it is."
LangString CloseAndRetry ${LANG_SIMPCHINESE} "请关闭该程序后选择“重试”，或选择“取消”保持已安装的版本不变。"

LangString OldVersionKept ${LANG_ENGLISH} "Nothing was changed; the installed version is kept."
LangString OldVersionKept ${LANG_SIMPCHINESE} "未做任何更改，已安装的版本保持不变。"

LangString NothingRemoved ${LANG_ENGLISH} "Nothing was removed."
LangString NothingRemoved ${LANG_SIMPCHINESE} "未删除任何内容。"

LangString StoppingService ${LANG_ENGLISH} "Stopping the installed camera service..."
LangString StoppingService ${LANG_SIMPCHINESE} "正在停止已安装的相机服务..."

LangString ServiceNotStopped ${LANG_ENGLISH} "The installed camera service VYXDshowService could not be stopped; the Application event log, source VYXDshowService, says why. Nothing was replaced."
LangString ServiceNotStopped ${LANG_SIMPCHINESE} "无法停止已安装的相机服务 VYXDshowService，原因见应用程序事件日志（来源 VYXDshowService）。未替换任何文件。"

LangString InstallingService ${LANG_ENGLISH} "Installing and starting the camera service VYXDshowService..."
LangString InstallingService ${LANG_SIMPCHINESE} "正在安装并启动相机服务 VYXDshowService..."

LangString ServiceNotInstalled ${LANG_ENGLISH} "The camera service VYXDshowService could not be installed or started; the Application event log, source VYXDshowService, says why. The files are in place and can be removed from Apps and Features."
LangString ServiceNotInstalled ${LANG_SIMPCHINESE} "无法安装或启动相机服务 VYXDshowService，原因见应用程序事件日志（来源 VYXDshowService）。文件已复制，可在“应用和功能”中卸载。"

LangString RemovingService ${LANG_ENGLISH} "Stopping and removing the camera service and its filter registrations..."
LangString RemovingService ${LANG_SIMPCHINESE} "正在停止并删除相机服务及其滤镜注册..."

LangString ServiceNotRemoved ${LANG_ENGLISH} "The camera service VYXDshowService could not be removed; the Application event log, source VYXDshowService, says why. The other files and entries were removed."
LangString ServiceNotRemoved ${LANG_SIMPCHINESE} "无法删除相机服务 VYXDshowService，原因见应用程序事件日志（来源 VYXDshowService）。其他文件和条目已删除。"

LangString ReadmeShortcut ${LANG_ENGLISH} "Read me"
LangString ReadmeShortcut ${LANG_SIMPCHINESE} "自述文件"

LangString UninstallShortcut ${LANG_ENGLISH} "Uninstall ${PRODUCT}"
LangString UninstallShortcut ${LANG_SIMPCHINESE} "卸载 ${PRODUCT}"
