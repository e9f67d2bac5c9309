# UNO SDK set-up for the office adapter's sources (generate/libreoffice/*.cpp).
