#include "common/platform_texts.h"

namespace voltrane {

namespace {

// Set by the build: 1 when it targets macOS, 0 for Linux.
constexpr bool kMacOS = VOLTRANE_MACOS_TEXTS != 0;

constexpr const char* choose(const char* onMacOS, const char* onLinux) {
    return kMacOS ? onMacOS : onLinux;
}

} // namespace

const char* infoSourcesText() {
    return choose("Voltrane 从本机电源注册表与 Apple Silicon "
                  "能耗模型读取数据。功率、电池、设备名称和序列号始终只留在本机。",
                  "Voltrane 从 Linux 内核的电源设备（power_supply）与 RAPL "
                  "能耗计数器读取数据。功率、电池、设备名称和序列号始终只留在本机。");
}

const char* infoComponentsText() {
    return choose("CPU、GPU、ANE、内存和内屏是时间窗估算；接口功率是 Mac 向 USB-C "
                  "外设的输出，不包含外接屏从墙上取得的功耗。",
                  "CPU、GPU 和内存是 RAPL 能耗计数器的时间窗估算；Linux 不提供内屏和接口输出的功率。");
}

const char* infoFieldsText() {
    return choose(
        "不同 Mac 型号暴露的字段可能不同；缺失项目会显示为“—”。瞬时功率经过轻微平滑，以减少数字抖动。",
        "不同电脑和电池驱动提供的字段可能不同；缺失项目会显示为“—”。瞬时功率经过轻微平滑，以减少数字抖动。");
}

const char* analyticsContentsText() {
    return choose("仅包含随机安装 ID、启动/打开次数、版本、macOS 版本和芯片架构。",
                  "仅包含随机安装 ID、启动/打开次数、版本、内核版本和芯片架构。");
}

const char* readingSourceText() {
    return choose("正在读取 IOKit", "正在读取 sysfs");
}

const char* componentsUnavailableText() {
    return choose("", "分项功率来自 RAPL 能耗计数器。自 Linux 5.10 起内核默认只允许 root 读取它们，"
                      "本机也可能没有这些计数器。开启方法见 README 的“Component power on Linux”一节。");
}

} // namespace voltrane
