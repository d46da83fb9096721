#include "app/menu_screen.h"

namespace telvano::app {

std::array<std::string, 5> MenuItemCaptions(int level) {
  switch (level) {
    case 1: return {"5. Radni CERT", "6. Lista CERT", "7. ", "8. ", "9. "};
    case 2: return {"5. X Report ", "6. SALE Report", "7. TAX Report", "8. PAY Report", "9. INV Report"};
    case 3: return {"5. Komande CMD_", "6. Računi INV_", "7. Environment", "8. Status", "9. Računi JSON"};
    case 4:
      return {"5. Promeni lozinke", "6. ", "7. Izvrši SQL script_xxx.sql", "8. Backup baze podataka",
              "9. Nova verzija programa"};
    default: return {"5. ", "6. ", "7. ", "8. ", "9. "};
  }
}

}  // namespace telvano::app
