# First start in an empty folder: two firms added and one changed in the firm
# list, one chosen in the firm choice; the settings of the chosen firm and the firm
# file afterwards.
run MAIN
  wait "Иморт выписок из систем Клиент-Банк"
  menu ?НАСТРОЙКИНАСТРОЙКАПУТЕЙКБАЗЕ
  wait "Настройка фирм для иморта"
  expect ?BROWSE:1 rows 0
  expect ?CHANGE:4 disabled true
  expect ?DELETE:4 disabled true
  expect ?VIEW:3 disabled true
  press ?INSERT:4
  wait "Добавить ???"
  expect ?FNM:KOD text "  1"
  type ?FNM:NAME "ООО \"Ромашка\""
  type ?FNM:PATH "C:\ZELK\ROMASHKA"
  type ?FNM:PATH_PLN "C:\ZELK\PLAN"
  type ?FNM:SCH_B 51
  choose ?OPTION1:RADIO1
  press ?OK
  wait "Настройка фирм для иморта"
  expect ?BROWSE:1 rows 1
  press ?INSERT:4
  wait "Добавить ???"
  # A code in use is refused; the form keeps what was typed.
  type ?FNM:KOD 1
  type ?FNM:NAME "Лютик"
  type ?FNM:PATH D:\BASES\LUTIK\
  press ?OK
  expect-box "Ошибка дублирования в ключе" "Добавление этой записи создает дублирование для ключа: FNm:key_1"
  expect title "Добавить ???"
  type ?FNM:KOD 2
  type ?FNM:RFKPATH "D:\RFK"
  type ?FNM:N_SC_P 40702810900000000002
  choose ?OPTION1:RADIO2
  press ?OK
  wait "Настройка фирм для иморта"
  expect ?BROWSE:1 rows 2
  row ?BROWSE:1 1
  press ?CHANGE:4
  wait "Изменить ???"
  type ?FNM:SCH_B 51.1
  press ?OK
  wait "Настройка фирм для иморта"
  expect ?BROWSE:1 row 1 "  1" "ООО \"Ромашка\"" "51.1" "C:\ZELK\ROMASHKA"
  press ?CLOSE
  menu ?PASTE
  wait "Выбор фирмы для иморта"
  expect ?FIR text ""
  expect ?BUTTON4 hidden true
  press ?BUTTON3
  wait "Настройка фирм для иморта"
  row ?BROWSE:1 2
  press ?SELECT:2
  wait "Выбор фирмы для иморта"
  expect ?FIR text "  2"
  expect ?N_FIR text "Лютик"
  expect ?BUTTON4 hidden false
  close
  menu ?EXIT
end
expect-no-box
expect-var FIR 2
expect-var N_FIR_A "Лютик"
expect-var N_SC_B ""
expect-var N_SC_P 40702810900000000002
expect-var N_KL_A 2
expect-var P_DBI D:\BASES\LUTIK\\dbi.dbf
expect-var P_PRT D:\BASES\LUTIK\\prt.dat
expect-var P_LVO D:\BASES\LUTIK\\lvo.dat
expect-var P_PAR D:\BASES\LUTIK\\partner.dbf
expect-var P_ANA D:\BASES\LUTIK\\analit.dbf
expect-var P_PLN \pln.dat
expect-var RFKPATH D:\RFK\subs_clt.dbf
expect-dump F_NAME key FNM:KEY_1
  {"FNM:KOD": 1, "FNM:NAME": "ООО \"Ромашка\"", "FNM:PATH": "C:\\ZELK\\ROMASHKA", "FNM:PATH_PLN": "C:\\ZELK\\PLAN", "FNM:SCH_B": "51.1", "FNM:N_KL": 1}
  {"FNM:KOD": 2, "FNM:NAME": "Лютик", "FNM:PATH": "D:\\BASES\\LUTIK\\", "FNM:RFKPATH": "D:\\RFK", "FNM:N_SC_P": "40702810900000000002", "FNM:N_KL": 2}
end
