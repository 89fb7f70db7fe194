// FOODCAL.DBF for a test: the catalogue's schema and the products a test
// needs, written by a table object of its own as any other program would.
// Shared by the data-module and the window fixtures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/dm1.h"
#include "storage/table_object.h"

namespace kalbor::test {

// One catalogue product as FOODCAL.DBF holds it.
struct TCatalogueRow {
  int32_t group;
  bool used;
  int32_t id;
  std::string name;
  int32_t kcal;
  std::string make = "Shop";
};

inline void WriteCatalogueFile(const std::string& folder,
                               const std::vector<TCatalogueRow>& products) {
  TTableObject t;
  CreateCatalogueFile(t, folder);
  for (const TCatalogueRow& p : products)
    AppendCatalogueProduct(t, {p.group, p.used, p.id, p.name, p.make, p.kcal});
  t.Close();
}

}  // namespace kalbor::test
