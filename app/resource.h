// Identifiers of the Windows build's controls and resources.
#pragma once

#define IDC_GENERATE 1001  // 按钮1, "生成"
#define IDC_USAGE 1002     // 按钮2, "使用说明"
#define IDC_COPY 1003      // 按钮3, "复制"
#define IDC_BOX 1004       // 编辑框1

#define IDR_BACKGROUND 200  // RCDATA: the background JPEG
// The program icon is the icon group named DEFAULT_ICON.
