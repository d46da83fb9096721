#include "core/message_table.h"

namespace telvano::core {

MessageTable::MessageTable(std::string language) : m_language(std::move(language)) {
  m_slots[2] = {"TELVANO baza podataka nečitljiva!", "TELVANO database can not be read!"};
  m_slots[3] = {"Verzija DB nije podržana!", "Unsupported DB version!"};
  m_slots[4] = {
      "Odabrani PFR nije dostupan!\n\nPreporuka:\n\n1. Proverite da li je PFR pokrenut (ikonica u system "
      "tray)",
      "SDC not available!\n\nRecommendation:\n\n1. Check if SDC is running (icon in system tray)"};
  m_slots[5] = {"Sertifikat je istekao\nili ne postoji aktivan!\n\nPreporuka:\n\n1. Dodajte novi sertifikat",
                "Certificate has expired\nor is not active!\n\nRecommendation:\n\n1. Add new certificate"};
  m_slots[16] = {"Pozvani/izabrani sertifikat ne odgovara sertifikatu u čitaču!",
                 "Pozvani/izabrani sertifikat ne odgovara sertifikatu u čitaču!"};
  m_slots[17] = {"PAC nije u redu", "PAC is invalid"};
  // Slot 18 stays empty: the PAC check shows it with texts of its own.
  m_slots[31] = {"SPREMAN ZA RAD\n\nSPREMAN ZA RAD\n\nSPREMAN ZA RAD\n\nSPREMAN ZA RAD",
                 "READY TO USE\n\nREADY TO USE\n\nREADY TO USE\n\nREADY TO USE"};
}

const MessageTable::Slot* MessageTable::SlotOf(int no) const {
  if (no < 0 || no >= kSlotCount) return nullptr;
  return &m_slots[static_cast<std::size_t>(no)];
}

std::string MessageTable::TextInLanguage(int no) const {
  const Slot* slot = SlotOf(no);
  if (slot == nullptr) return {};
  if (m_language == "SRB") return slot->serbian.empty() ? slot->english : slot->serbian;
  if (m_language == "ENG") return slot->english.empty() ? slot->serbian : slot->english;
  return {};
}

std::string MessageTable::TextEnglish(int no) const {
  const Slot* slot = SlotOf(no);
  if (slot == nullptr) return {};
  return slot->english.empty() ? slot->serbian : slot->english;
}

const std::vector<ProcessorErrorText>& ProcessorErrorTexts() {
  static const std::vector<ProcessorErrorText> kTexts = {
      {"1100", "Storage 90% Full / Prostor za čuvanje audit paketa pun 90%"},
      {"1300", "Smart Card is not present / Pametna kartica nije u čitaču"},
      {"1400", "Audit Required / Potreban Audit (iščitavanje)"},
      {"1500", "Pin Code Required / POtrebno je uneti PIN"},
      {"1999", "Undefined Warning / Nepoznato upozorenje"},
      {"2100", "Pin Not OK / PIN nije u redu"},
      {"2110", "Card Locked / Kartica je zaključana"},
      {"2210", "SE Locked / BE zaključan"},
      {"2220", "SE Communication Failed / Komunikacija sa BE neuspešna"},
      {"2230", "SE Protocol Mismatch /Protokol BE se ne slaže"},
      {"2310", "Invalid tax labels / Nevažeća poreska labela /(grupa)"},
      {"2400", "Not configured / Nije konfigurisano"},
      {"2800", "Field Required / Obavezno polje"},
      {"2801", "Field Value Too Long / Vrednost polja predugačka"},
      {"2802", "Field Value Too Short / Vrednost polja prekratka"},
      {"2803", "Invalid Field Length / Dužina polja ne odgovara"},
      {"2804", "Field Out Of Range / Polje izvan opsega"},
      {"2805", "Invalid Field Value / Vrednost polja ne odgovara"},
      {"2806", "Invalid Data Format / Format podatka ne odgovara"},
      {"2807", "List Too Short / Lista prekratka"},
      {"2808", "List Too Long / Lista predugačka"},
  };
  return kTexts;
}

std::string ProcessorErrorTextOf(std::string_view code) {
  for (const ProcessorErrorText& entry : ProcessorErrorTexts()) {
    if (entry.code == code) return std::string(entry.text);
  }
  return {};
}

}  // namespace telvano::core
