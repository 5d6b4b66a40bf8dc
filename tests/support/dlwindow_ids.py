"""The download window's command, message and timer ids, as in src/workflow/DownloadWindowIds.h.

Commands come as WM_COMMAND (the window's trace prints "command <id>" for those it takes from
outside); the notification area's icon calls back with TRAY_MESSAGE (wParam TRAY_ICON).
"""

# Commands.
COMPANION_BOX = 7
START = 10
RESUME = 11
PAUSE = 12
CLOSE = 13
MINIMIZE = 14
CHANGE_FOLDER = 15
OPEN_FOLDER = 16
FEEDBACK = 17
INSTALL = 18
PROMOTION = 19
REDOWNLOAD = 20
SHOW = 2025  # a second start of the program asks the running one to show its window
QUIT = 2026

# Messages.
TRAY_MESSAGE = 2025
TRAY_ICON = 32513
SHOW_DEFAULT_PAGE = 3232

# Timers.
TIMER_PROGRESS = 0
TIMER_NETWORK_WAIT = 1
TIMER_FILE_WAIT = 2
