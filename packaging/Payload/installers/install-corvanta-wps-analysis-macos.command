#!/bin/bash
# Installs the Corvanta分析 add-in package into WPS Spreadsheets and registers it there.
#
# Run by Corvanta 管理工具 with /bin/bash and these variables:
#   CORVANTA_WPS_ANALYSIS_LICENSE_TOOL              the installed management application
#   CORVANTA_WPS_ANALYSIS_LICENSE_TOOL_APP_SOURCE   the same path again
#   CORVANTA_WPS_ANALYSIS_LICENSE_TOOL_INSTALL_DIR  the folder of its standard place
#   CORVANTA_WPS_ANALYSIS_PLUGIN_PACKAGE_DIR        the unpacked package to install
#   CORVANTA_WPS_ANALYSIS_ADDON_DIR                 WPS's add-in folder (default: WPS for Mac's)
#
# On failure it prints one reason and exits non-zero. The new directory is copied under a hidden
# name and renamed into place; older versions go only after the new one is registered, so a run
# that fails or is interrupted at any point leaves the previously installed add-in working.
set -euo pipefail

fail() {
    printf '%s\n' "$1"
    exit 1
}
trap 'fail "WPS 插件安装脚本意外出错（第 ${LINENO} 行）。"' ERR

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" 2>/dev/null && pwd -P) ||
    fail "无法确定安装脚本所在的位置，请重新下载正式安装包。"
helper="$here/corvanta-wps-addins"
[[ -x $helper ]] || fail "安装包缺少 WPS 插件登记程序，请重新下载正式安装包。"

tool=${CORVANTA_WPS_ANALYSIS_LICENSE_TOOL:-}
tool_source=${CORVANTA_WPS_ANALYSIS_LICENSE_TOOL_APP_SOURCE:-}
tool_install_dir=${CORVANTA_WPS_ANALYSIS_LICENSE_TOOL_INSTALL_DIR:-}
package=${CORVANTA_WPS_ANALYSIS_PLUGIN_PACKAGE_DIR:-}
if [[ -z $tool || -z $tool_source || -z $tool_install_dir ]]; then
    fail "未收到管理工具的位置，请在 Corvanta 管理工具中安装插件。"
fi
[[ -n $package ]] || fail "未收到要安装的插件包，请在 Corvanta 管理工具中安装插件。"
[[ -d $package ]] || fail "找不到要安装的插件包，请重新下载后再试。"
[[ -n ${HOME:-} ]] || fail "无法确定当前用户的主文件夹。"

addons=${CORVANTA_WPS_ANALYSIS_ADDON_DIR:-"$HOME/Library/Containers/com.kingsoft.wpsoffice.mac/Data/.kingsoft/wps/jsaddons"}

# The helper prints its own reason on failure.
name=$("$helper" installed-name "$package") || exit 1
mkdir -p "$addons" 2>/dev/null || fail "无法创建 WPS 加载项文件夹，请检查文件夹权限。"
"$helper" clean "$addons" || exit 1

staged=
cleanup() {
    if [[ -n $staged ]]; then
        rm -rf "$staged" 2>/dev/null || true
    fi
}
trap cleanup EXIT

staged=$(mktemp -d "$addons/.corvanta-staging-XXXXXX" 2>/dev/null) ||
    fail "无法在 WPS 加载项文件夹中创建临时文件夹，请检查磁盘空间和文件夹权限。"
cp -R "$package/." "$staged/" 2>/dev/null || fail "复制插件文件失败，请检查磁盘空间后重试。"
chmod -R u+rwX,go+rX "$staged" 2>/dev/null || fail "无法设置插件文件的权限。"

# After this the staged name holds the previous copy of the same version, if there was one.
"$helper" place "$staged" "$addons/$name" || exit 1
if ! "$helper" register "$addons" "$name"; then
    # Back to what WPS has registered: the previous copy, or no directory of this version.
    if [[ -d $staged ]]; then
        "$helper" place "$staged" "$addons/$name" >/dev/null 2>&1 || true
    else
        hidden=$(mktemp -u "$addons/.corvanta-removing-XXXXXX")
        mv "$addons/$name" "$hidden" 2>/dev/null && rm -rf "$hidden" 2>/dev/null || true
    fi
    exit 1
fi

for old in "$addons"/CorvantaAnalysis_*; do
    [[ -e $old && ${old##*/} != "$name" ]] || continue
    # Out of sight first: a half-deleted copy must never look like an installed add-in.
    hidden=$(mktemp -u "$addons/.corvanta-removing-XXXXXX")
    mv "$old" "$hidden" 2>/dev/null || fail "无法移除旧版插件“${old##*/}”，请检查文件夹权限。"
    rm -rf "$hidden" 2>/dev/null || true
done
exit 0
