// Creation of the program's windows, in their fixed order.
#include "app/app_windows.h"

#include "app/about_window.h"
#include "app/browse_window.h"
#include "app/filter_window.h"
#include "app/main_window.h"
#include "app/picture_window.h"
#include "app/record_report.h"
#include "app/search_window.h"
#include "app/table_print_adapter.h"

namespace vendrik {

TAppWindows::TAppWindows(TAppServices services) : FServices(std::move(services)) {
  FForm1 = std::make_unique<TForm1>(*this);
  FForm2 = std::make_unique<TForm2>(*this);
  FForm5 = std::make_unique<TForm5>(*this);
  FForm6 = std::make_unique<TForm6>(*this);
  FForm7 = std::make_unique<TForm7>(*this);
  FForm8 = std::make_unique<TForm8>();
  FQuickReport9 = std::make_unique<TQuickReport9>();
  // "Nyomtatás" of the search window: the record report of the current
  // record; its errors reach the search window's guard.
  FForm5->SetPrintCommand([this] {
    TTablePrintAdapter table(FForm1->Table1());
    PrintCurrentRecord(table, *FQuickReport9);
  });
}

TAppWindows::~TAppWindows() = default;

}  // namespace vendrik
