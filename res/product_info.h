// The maker's details, in one place for the resource scripts and the code:
// the product's home page, its support address, the maker's notice and the
// program's key under HKEY_CURRENT_USER (shared with Gorsemere and the setup,
// which gets it from here through the build).
#ifndef PARDWELL_RES_PRODUCT_INFO_H
#define PARDWELL_RES_PRODUCT_INFO_H

#define PARDWELL_HOME_PAGE "https://www.quillfen.example/pardwell/"
#define PARDWELL_SUPPORT_ADDRESS "support@quillfen.example"
#define PARDWELL_MAKER_NOTICE "Copyright (C) Quillfen"
#define PARDWELL_REGISTRY_KEY "Software\\Quillfen\\Pardwell"

#endif
