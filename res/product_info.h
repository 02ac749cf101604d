// The maker's details, in one place for the resource scripts and the code:
// the product's home page, its support address and the maker's notice.
#ifndef PARDWELL_RES_PRODUCT_INFO_H
#define PARDWELL_RES_PRODUCT_INFO_H

#define PARDWELL_HOME_PAGE "https://www.quillfen.example/pardwell/"
#define PARDWELL_SUPPORT_ADDRESS "support@quillfen.example"
#define PARDWELL_MAKER_NOTICE "Copyright (C) Quillfen"

#endif
