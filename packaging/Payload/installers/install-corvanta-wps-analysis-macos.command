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
# Exit status, one per outcome; the helper corvanta-wps-addins beside it uses the same numbers,
# and the tool decides by them (they lie above the signal numbers that stand for a killed script).
# The output says the same in words, for the user and the log.
#    0  installed and registered
#    1  a step of this script failed unexpectedly
#   64  called without the variables above
#   65  the package is not a complete add-in, or its version cannot name a folder
#   66  copying the add-in into WPS's folder failed
#   67  registering in WPS's lists failed; both lists say what they said before
#   68  WPS is running; nothing of WPS's files was changed
#   69  installed and registered, but an older version's folder could not be removed
#
# The new directory is copied under a hidden name and renamed into place; older versions go only
# after the new one is registered, so a run that fails or is interrupted at any point leaves the
# previously installed add-in working.
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

# The helper prints its own reason on failure and exits with the status of its kind.
name=$("$helper" installed-name "$package") || exit $?
# Before the first change to WPS's files the helper checks once more that WPS is not running.
"$helper" clean "$addons" || exit $?
mkdir -p "$addons" 2>/dev/null || fail 66 "无法创建 WPS 加载项文件夹，请检查文件夹权限。"

staged=
cleanup() {
    if [[ -n $staged ]]; then
        rm -rf "$staged" 2>/dev/null || true
    fi
}
trap cleanup EXIT

staged=$(mktemp -d "$addons/.corvanta-staging-XXXXXX" 2>/dev/null) ||
    fail 66 "无法在 WPS 加载项文件夹中创建临时文件夹，请检查磁盘空间和文件夹权限。"
cp -R "$package/." "$staged/" 2>/dev/null || fail 66 "复制插件文件失败，请检查磁盘空间后重试。"
chmod -R u+rwX,go+rX "$staged" 2>/dev/null || fail 66 "无法设置插件文件的权限。"

# After this the staged name holds the previous copy of the same version, if there was one.
"$helper" place "$staged" "$addons/$name" || exit $?
if "$helper" register "$addons" "$name"; then
    registered=0
else
    registered=$?
fi
if ((registered != 0)); then
    # Back to what WPS has registered: the previous copy, or no directory of this version.
    if [[ -d $staged ]]; then
        "$helper" place "$staged" "$addons/$name" >/dev/null 2>&1 || true
    else
        hidden=$(mktemp -u "$addons/.corvanta-removing-XXXXXX")
        mv "$addons/$name" "$hidden" 2>/dev/null && rm -rf "$hidden" 2>/dev/null || true
    fi
    exit "$registered"
fi

# The helper knows which entries are the add-in's; it names, one per line, those it could not move away.
left=$("$helper" sweep "$addons" "$name") || exit $?
[[ -n $left ]] || exit 0
while IFS= read -r old; do
    printf '无法移除旧版插件“%s”，请检查文件夹权限。\n' "$old"
done <<<"$left"
exit 69
