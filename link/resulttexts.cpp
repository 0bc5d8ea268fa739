#include "link/resulttexts.h"

const char* commandStatusText(int status)
{
    switch (status) {
    case 0: return "成功";
    case 3: return "该指令不支持";
    case 4: return "Parameter 和 command 对不上";
    case 5: return "节点当前状态不允许执行该指令";
    default: return "未知的错误";
    }
}

const char* fileWriteResultText(int result)
{
    switch (result) {
    case 0: return "成功";
    case 0xFFFF: return "未知错误";
    case 28: return "数据超出范围";
    case 13: return "拒绝访问， 未处于升级状态";
    case 100: return "升级数据包格式.数据不完整(超时或者文件传输丢包)";
    case 101: return "升级数据包格式.文件长度错误， 只能是 256 或者 0";
    case 102: return "升级数据包格式.文件偏移错误";
    case 103: return "升级数据包格式.包含的校验码格式错误";
    default: return "未知";
    }
}
