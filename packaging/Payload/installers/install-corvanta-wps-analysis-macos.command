#!/bin/bash
# Installs the Corvanta分析 add-in package into WPS Spreadsheets and registers it there.
#
# Run by Corvanta 管理工具 with /bin/bash and these variables:
#   CORVANTA_WPS_ANALYSIS_LICENSE_TOOL              the installed management application
#   CORVANTA_WPS_ANALYSIS_LICENSE_TOOL_APP_SOURCE   the same path again
#   CORVANTA_WPS_ANALYSIS_LICENSE_TOOL_INSTALL_DIR  the folder of its standard place
#   CORVANTA_WPS_ANALYSIS_PLUGIN_PACKAGE_DIR        the unpacked package to install
#   CORVANTA_WPS_ANALYSIS_ADDON_DIR                 WPS's add-in folder, as the tool knows it
#
# Exit status, one per outcome (the helper's, passed on; the tool decides by them, and both take
# them from core/InstallerExitStatus.h in the tool's sources). The output
# says the same in words, for the user and the log.
#    0  installed and registered
#    1  a step failed unexpectedly
#   64  called without the variables above
#   65  the package is not a complete add-in, or its version cannot name a folder
#   66  copying the add-in into WPS's folder failed
#   67  registering in WPS's lists failed; both lists say what they said before
#   68  WPS is running; nothing of WPS's files was changed
#   69  installed and registered, but an older version's folder could not be removed
#
# The helper corvanta-wps-addins beside this script does the install: it copies the package under
# a hidden name, renames it into place, registers it, and removes older versions only after that,
# so a run that fails or is interrupted at any point leaves the previously installed add-in working.
set -euo pipefail

fail() {
    printf '%s\n' "$2"
    exit "$1"
}
trap 'fail 1 "WPS 插件安装脚本意外出错（第 ${LINENO} 行）。"' ERR

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" 2>/dev/null && pwd -P) ||
    fail 1 "无法确定安装脚本所在的位置，请重新下载正式安装包。"
helper="$here/corvanta-wps-addins"
[[ -x $helper ]] || fail 1 "安装包缺少 WPS 插件登记程序，请重新下载正式安装包。"

tool=${CORVANTA_WPS_ANALYSIS_LICENSE_TOOL:-}
tool_source=${CORVANTA_WPS_ANALYSIS_LICENSE_TOOL_APP_SOURCE:-}
tool_install_dir=${CORVANTA_WPS_ANALYSIS_LICENSE_TOOL_INSTALL_DIR:-}
package=${CORVANTA_WPS_ANALYSIS_PLUGIN_PACKAGE_DIR:-}
addons=${CORVANTA_WPS_ANALYSIS_ADDON_DIR:-}
if [[ -z $tool || -z $tool_source || -z $tool_install_dir ]]; then
    fail 64 "未收到管理工具的位置，请在 Corvanta 管理工具中安装插件。"
fi
[[ -n $package ]] || fail 64 "未收到要安装的插件包，请在 Corvanta 管理工具中安装插件。"
[[ -n $addons ]] || fail 64 "未收到 WPS 加载项文件夹的位置，请在 Corvanta 管理工具中安装插件。"
[[ -d $package ]] || fail 65 "找不到要安装的插件包，请重新下载后再试。"

exec "$helper" install "$package" "$addons"
