// Resource IDs of the framework's Wine sample.
#pragma once

#define IDD_SAMPLE 100
#define IDS_GREETING 101
#define IDC_FLAG 1002
