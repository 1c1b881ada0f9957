# Files the application directory's config/ folder starts with.
